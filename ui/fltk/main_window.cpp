// The main window: the controls of the main dialog template laid out from its dialog units,
// and the events they report to the command handling with the window system's IDs and codes.
#include "ui/fltk/main_window.h"

#include "res/about.h"
#include "res/resource.h"
#include "ui/fltk/cart_list.h"
#include "ui/fltk/controls.h"
#include "ui/fltk/focus_reports.h"
#include "ui/fltk/layout.h"
#include "ui/fltk/report.h"

#include <FL/Fl.H>

#include <cstdint>

namespace {

MainWindow* g_main = nullptr;

void ControlCb(Fl_Widget*, void* data) {
    ReportCommand(static_cast<int>(reinterpret_cast<intptr_t>(data)), QV_BN_CLICKED);
}

void EditChangedCb(Fl_Widget*, void* data) {
    ReportCommand(static_cast<int>(reinterpret_cast<intptr_t>(data)), QV_EN_CHANGE);
}

void MainWindowCb(Fl_Widget* w, void*) {
    if (Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape) {
        // The dialog keyboard handling turns Escape into the cancel command, which the command
        // handling ignores.
        ReportCommand(QV_IDCANCEL, QV_BN_CLICKED);
        return;
    }
    // Closing the window ends the program like the Exit button.
    static_cast<MainWindow*>(w)->Quit(0);
}

void* IdData(int id) {
    return reinterpret_cast<void*>(static_cast<intptr_t>(id));
}

EditField* MakeEditField(int x, int y, int w, int h, int id) {
    EditField* field = new EditField(DuX(x), DuY(y), DuW(x, w), DuH(y, h));
    field->when(FL_WHEN_CHANGED);
    field->callback(EditChangedCb, IdData(id));
    AddFocusReporter(field, id, QV_EN_SETFOCUS, QV_EN_KILLFOCUS);
    return field;
}

} // namespace

MainWindow::MainWindow() : Fl_Double_Window(DuX(253), DuY(154), QV_CAPTION) {
    FL_NORMAL_SIZE = DialogFontSize();
    // The window class's background: the light grey stock brush.
    Fl::background(192, 192, 192);
    callback(MainWindowCb);
    if (const Fl_RGB_Image* icon = AppIcon()) {
        Fl_Window::default_icon(icon);
        this->icon(icon);
    }
    xclass("Quorvalis");

    // The list reaches down to the title field in the template (the window system shortens
    // it to whole items); here it stops just above the field.
    cartList = new CartList(DuX(4), DuY(4), DuW(4, 180), DuY(99) - DuY(4) - 1);
    cartList->box(FL_DOWN_BOX);
    cartList->color(FL_WHITE);
    Add(IDC_CARTLIST, cartList);
    AddFocusReporter(cartList, IDC_CARTLIST, QV_LBN_SETFOCUS, QV_LBN_KILLFOCUS);
    Add(IDC_TITLE, MakeEditField(4, 99, 180, 12, IDC_TITLE));

    // The Version group box holds the three radio buttons, so they form one group.
    GroupBox* version = new GroupBox(DuX(192), DuY(4), DuW(192, 56), DuH(4, 39), "Version");
    for (Fl_Button* b : {AddButton<RadioButton>(204, 15, 32, 9, "&USA", IDC_USA),
                         AddButton<RadioButton>(204, 23, 40, 9, "&Europe", IDC_EUROPE),
                         AddButton<RadioButton>(204, 31, 36, 9, "&Japan", IDC_JAPAN)}) {
        b->type(FL_RADIO_BUTTON);
        b->when(FL_WHEN_RELEASE_ALWAYS);
    }
    version->end();

    GroupBox* framesBox = new GroupBox(DuX(192), DuY(47), DuW(192, 56), DuH(47, 35), "Frames");
    EditField* frames = MakeEditField(208, 60, 12, 13, IDC_FRAMES);
    Add(IDC_FRAMES, frames);
    spin = new FrameSpin(DuX(220), DuY(60), DuW(220, 11), DuH(60, 13), frames);
    framesBox->end();

    AddButton<CheckButton>(192, 90, 48, 9, "&No Sound", IDC_NOSOUND);
    AddButton<CheckButton>(192, 103, 68, 9, "Enable &Z-80", IDC_Z80);
    AddButton<DefaultButton>(4, 116, 68, 13, "&Launch Emulator", IDC_LAUNCH);
    AddButton<PushButton>(92, 116, 68, 14, "&Save Config", IDC_SAVE);
    AddButton<PushButton>(180, 116, 68, 14, "&Delete Config", IDC_DELETE);
    AddButton<PushButton>(4, 134, 68, 14, "&About", IDC_ABOUT);
    AddButton<PushButton>(180, 134, 68, 14, "E&xit", IDC_EXIT);
    end();

    CentreWindow(this, nullptr);
    g_main = this;
}

void MainWindow::Add(int id, Fl_Widget* w) {
    constexpr int kMax = sizeof(controls_) / sizeof(controls_[0]);
    if (controlCount_ < kMax)
        controls_[controlCount_++] = Entry{id, w};
}

template <class T> T* MainWindow::AddButton(int x, int y, int w, int h, const char* text, int id) {
    T* b = new T(DuX(x), DuY(y), DuW(x, w), DuH(y, h), text);
    b->callback(ControlCb, IdData(id));
    Add(id, b);
    return b;
}

int MainWindow::handle(int event) {
    if (event == FL_FOCUS && !ControlFocusedOnce()) {
        // The window takes the keyboard but gives it to no control yet.
        return 1;
    }
    Fl_Widget* focus = Fl::focus();
    bool noControlFocused = !focus || focus == this || !contains(focus);
    if (event == FL_KEYBOARD && noControlFocused) {
        int key = Fl::event_key();
        // Tab while no control has the focus: the first (Shift: the last) control takes it.
        if (key == FL_Tab) {
            FocusFirstControl((Fl::event_state() & FL_SHIFT) != 0);
            SyncFocusReports();
            return 1;
        }
        if (key == FL_Up || key == FL_Down || key == FL_Left || key == FL_Right)
            return 1;
    }
    int handled = Fl_Double_Window::handle(event);
    if (FocusGainPending() || event == FL_FOCUS || event == FL_UNFOCUS || event == FL_PUSH ||
        event == FL_KEYBOARD)
        SyncFocusReports();
    return handled;
}

void MainWindow::FocusFirstControl(bool last) {
    for (int i = 0; i < controlCount_; ++i) {
        Fl_Widget* w = controls_[last ? controlCount_ - 1 - i : i].widget;
        if (w->take_focus())
            return;
    }
}

Fl_Widget* MainWindow::Control(int id) const {
    for (int i = 0; i < controlCount_; ++i)
        if (controls_[i].id == id)
            return controls_[i].widget;
    return nullptr;
}

void MainWindow::Quit(int code) {
    exitCode = code;
    while (Fl_Window* w = Fl::first_window())
        w->hide();
}

MainWindow* TheMainWindow() {
    return g_main;
}

Fl_Widget* FindControl(int id) {
    return g_main ? g_main->Control(id) : nullptr;
}
