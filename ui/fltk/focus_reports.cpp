// Keyboard focus reports. FLTK offers a widget FL_FOCUS before the focus has moved (and before
// the old widget has lost it), so a gain is noted first and reported once the focus has really
// arrived, after the loss of the previous widget.
#include "ui/fltk/focus_reports.h"

#include "ui/fltk/main_window.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>

namespace {

struct FocusReporter {
    Fl_Widget* widget;
    int id;
    int setCode;
    int killCode;
    bool focused; // a gain was reported and no loss since
};

constexpr int kMaxReporters = 3;
FocusReporter g_reporters[kMaxReporters];
int g_reporterCount = 0;
Fl_Widget* g_pendingGain = nullptr;
Fl_Window* g_window = nullptr;
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

void SetFocusReportWindow(Fl_Window* win) {
    g_window = win;
}

void AddFocusReporter(Fl_Widget* w, int id, int setCode, int killCode) {
    if (g_reporterCount < kMaxReporters)
        g_reporters[g_reporterCount++] = FocusReporter{w, id, setCode, killCode, false};
}

void SyncFocusReports() {
    Fl_Widget* focus = Fl::focus();
    if (focus && g_window && focus != g_window && g_window->contains(focus))
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

bool FocusGainPending() {
    return g_pendingGain != nullptr;
}

bool ControlFocusedOnce() {
    return g_controlFocusedOnce;
}

void FocusControl(Fl_Widget* w) {
    if (Fl::focus() != w && Fl::visible_focus() && w->visible_focus())
        w->take_focus();
    SyncFocusReports();
}
