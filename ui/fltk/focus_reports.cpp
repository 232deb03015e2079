// Keyboard focus reports. FLTK offers a widget FL_FOCUS before the focus has moved (and before
// the old widget has lost it), so a gain is noted first and reported once the focus has really
// arrived, after the loss of the previous widget.
#include "ui/fltk/focus_reports.h"

#include "ui/fltk/report.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>

namespace {

// A control that reports gaining and losing the keyboard focus.
struct FocusReporter {
    Fl_Widget* widget;
    int id;
    int setCode;
    int killCode;
    bool focused; // a gain was reported and no loss since
};

// The cartridge list and the two edit fields.
FocusReporter g_reporters[3] = {};
int g_reporterCount = 0;
Fl_Window* g_reportersWindow = nullptr; // the window they are in
// A gain FLTK offered and that is not reported yet.
Fl_Widget* g_pendingGain = nullptr;
// Start-up focuses no control, so nothing reports (and reloads) before the user acts.
bool g_controlFocusedOnce = false;

FocusReporter* FindReporter(Fl_Widget* w) {
    for (int i = 0; i < g_reporterCount; ++i)
        if (g_reporters[i].widget == w)
            return &g_reporters[i];
    return nullptr;
}

void ReportLoss(FocusReporter* r) {
    if (r && r->focused) {
        r->focused = false;
        ReportCommand(r->id, r->killCode);
    }
}

} // namespace

void AddFocusReporter(Fl_Widget* w, int id, int setCode, int killCode) {
    g_reportersWindow = w->window();
    constexpr int kMaxReporters = sizeof(g_reporters) / sizeof(g_reporters[0]);
    if (g_reporterCount < kMaxReporters)
        g_reporters[g_reporterCount++] = FocusReporter{w, id, setCode, killCode, false};
}

bool ControlFocusedOnce() {
    return g_controlFocusedOnce;
}

bool FocusGainPending() {
    return g_pendingGain != nullptr;
}

void SyncFocusReports() {
    Fl_Widget* focus = Fl::focus();
    if (focus && g_reportersWindow && focus != g_reportersWindow &&
        g_reportersWindow->contains(focus))
        g_controlFocusedOnce = true;
    for (int i = 0; i < g_reporterCount; ++i)
        if (g_reporters[i].widget != focus)
            ReportLoss(&g_reporters[i]);
    g_pendingGain = nullptr;
    FocusReporter* r = FindReporter(focus);
    if (r && !r->focused) {
        r->focused = true;
        ReportCommand(r->id, r->setCode);
    }
}

void NoteFocusEvent(Fl_Widget* w, int event, int handled) {
    if (event == FL_FOCUS && handled)
        g_pendingGain = w;
    if (event == FL_UNFOCUS) {
        if (g_pendingGain == w)
            g_pendingGain = nullptr;
        ReportLoss(FindReporter(w));
    }
}

void FocusControl(Fl_Widget* w) {
    if (Fl::focus() != w && Fl::visible_focus() && w->visible_focus())
        w->take_focus();
    SyncFocusReports();
}
