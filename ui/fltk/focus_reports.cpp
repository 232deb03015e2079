// Keyboard focus reports. FLTK offers a widget FL_FOCUS before the focus has moved (and before
// the old widget has lost it), so a gain is noted first and reported once the focus has really
// arrived, after the loss of the previous widget.
#include "ui/fltk/focus_reports.h"

#include "ui/fltk/report.h"
#include "ui/fltk/window_state.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>

namespace {

FocusReporter* FindReporter(Fl_Widget* w) {
    for (int i = 0; i < g_window.reporterCount; ++i)
        if (g_window.reporters[i].widget == w)
            return &g_window.reporters[i];
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
    WindowState& st = g_window;
    constexpr int kMaxReporters = sizeof(st.reporters) / sizeof(st.reporters[0]);
    if (st.reporterCount < kMaxReporters)
        st.reporters[st.reporterCount++] = FocusReporter{w, id, setCode, killCode, false};
}

void SyncFocusReports() {
    WindowState& st = g_window;
    Fl_Widget* focus = Fl::focus();
    if (focus && st.window && focus != st.window && st.window->contains(focus))
        st.controlFocusedOnce = true;
    for (int i = 0; i < st.reporterCount; ++i)
        if (st.reporters[i].widget != focus)
            ReportLoss(&st.reporters[i]);
    st.pendingGain = nullptr;
    FocusReporter* r = FindReporter(focus);
    if (r && !r->focused) {
        r->focused = true;
        ReportCommand(r->id, r->setCode);
    }
}

void NoteFocusEvent(Fl_Widget* w, int event, int handled) {
    if (event == FL_FOCUS && handled)
        g_window.pendingGain = w;
    if (event == FL_UNFOCUS) {
        if (g_window.pendingGain == w)
            g_window.pendingGain = nullptr;
        ReportLoss(FindReporter(w));
    }
}

void FocusControl(Fl_Widget* w) {
    if (Fl::focus() != w && Fl::visible_focus() && w->visible_focus())
        w->take_focus();
    SyncFocusReports();
}
