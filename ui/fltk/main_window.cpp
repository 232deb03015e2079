// The main window: the controls of the main dialog template laid out from its dialog units,
// and the events they report to the command handling with the window system's IDs and codes.
#include "ui/fltk/main_window.h"

#include "core/cartridge.h"
#include "res/resource.h"
#include "ui/commands.h"
#include "ui/fltk/layout.h"

#include <FL/Fl.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Hold_Browser.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Repeat_Button.H>
#include <FL/Fl_Round_Button.H>
#include <FL/fl_draw.H>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

Fl_Window* g_mainWindow = nullptr;

namespace {

int g_exitCode = 0;

// ---- Keyboard focus reports -------------------------------------------------------------
// The list and the two edit fields report gaining and losing the keyboard focus, as the
// window system's list box and edit controls do. FLTK offers a widget FL_FOCUS before the
// focus has moved (and before the old widget has lost it), so a gain is noted first and
// reported once the focus has really arrived, after the loss of the previous widget.

struct FocusReporter {
    Fl_Widget* widget;
    int id;
    int setCode;
    int killCode;
    bool focused; // a gain was reported and no loss since
};

FocusReporter g_reporters[3];
int g_reporterCount = 0;
Fl_Widget* g_pendingGain = nullptr;
// Until a control first takes the focus the window keeps it itself: start-up focuses no
// control, so nothing reports (and reloads) before the user acts.
bool g_controlFocusedOnce = false;

FocusReporter* FindReporter(Fl_Widget* w) {
    for (int i = 0; i < g_reporterCount; ++i)
        if (g_reporters[i].widget == w)
            return &g_reporters[i];
    return nullptr;
}

void AddReporter(Fl_Widget* w, int id, int setCode, int killCode) {
    if (g_reporterCount < 3)
        g_reporters[g_reporterCount++] = FocusReporter{w, id, setCode, killCode, false};
}

void ReportLoss(FocusReporter* r) {
    if (r && r->focused) {
        r->focused = false;
        ReportCommand(r->id, r->killCode);
    }
}

// Brings the reports in line with where the focus is now: losses first, then the gain.
void SyncFocusReports() {
    Fl_Widget* focus = Fl::focus();
    if (focus && g_mainWindow && focus != g_mainWindow && g_mainWindow->contains(focus))
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

// Called after a reporting widget has handled an event.
void NoteFocusEvent(Fl_Widget* w, int event, int handled) {
    if (event == FL_FOCUS && handled)
        g_pendingGain = w;
    if (event == FL_UNFOCUS) {
        if (g_pendingGain == w)
            g_pendingGain = nullptr;
        ReportLoss(FindReporter(w));
    }
}

// ---- Controls -----------------------------------------------------------------------------

// The cartridge list: a single-selection list that reports selection changes, double-clicks
// on an item and focus changes. Enter is left to the default push button.
class CartList : public Fl_Hold_Browser {
  public:
    CartList(int x, int y, int w, int h) : Fl_Hold_Browser(x, y, w, h) {}
    int lastSelected = 0;

    int handle(int event) override {
        if (event == FL_KEYBOARD && (Fl::event_key() == FL_Enter || Fl::event_key() == FL_KP_Enter))
            return 0;
        if (event == FL_PUSH && Fl::focus() != this && Fl::visible_focus() && visible_focus()) {
            // A click gives the list the focus before it changes the selection, as the
            // window system reports them: focus first, then the selection.
            take_focus();
            SyncFocusReports();
        }
        bool doubleClick = false;
        if (event == FL_PUSH && Fl::event_clicks() > 0 && Fl::event_button() == FL_LEFT_MOUSE)
            doubleClick = find_item(Fl::event_y()) != nullptr;
        int handled = Fl_Hold_Browser::handle(event);
        NoteFocusEvent(this, event, handled);
        if (doubleClick && value() > 0) {
            // One report per double-click: a third click starts a new count.
            Fl::event_clicks(-1);
            ReportCommand(IDC_CARTLIST, QV_LBN_DBLCLK);
        }
        return handled;
    }
};

// An edit field: reports text changes (through its callback) and focus changes. Up and Down
// stay in the field, as in the window system's edit control, instead of moving the focus.
class EditField : public Fl_Input {
  public:
    EditField(int x, int y, int w, int h) : Fl_Input(x, y, w, h) {}

    int handle(int event) override {
        if (event == FL_KEYBOARD && (Fl::event_key() == FL_Up || Fl::event_key() == FL_Down))
            return 1;
        int handled = Fl_Input::handle(event);
        NoteFocusEvent(this, event, handled);
        return handled;
    }
};

// A group box: an etched frame with its caption on the top edge.
class GroupBox : public Fl_Group {
  public:
    GroupBox(int x, int y, int w, int h, const char* label) : Fl_Group(x, y, w, h, label) {
        // The caption is drawn on the frame by draw(), not outside the group.
        align(FL_ALIGN_INSIDE | FL_ALIGN_TOP_LEFT);
    }

    void draw() override {
        if (damage() & ~FL_DAMAGE_CHILD) {
            fl_font(labelfont(), labelsize());
            int textH = fl_height();
            int frameY = y() + textH / 2;
            fl_color(color());
            fl_rectf(x(), y(), w(), h());
            fl_draw_box(FL_ENGRAVED_FRAME, x(), frameY, w(), h() - (frameY - y()), color());
            if (label()) {
                int textW = static_cast<int>(fl_width(label()));
                int gap = DuX(2);
                fl_color(color());
                fl_rectf(x() + DuX(4), y(), textW + 2 * gap, textH);
                fl_color(active_r() ? labelcolor() : fl_inactive(labelcolor()));
                fl_draw(label(), x() + DuX(4) + gap, y() + textH - fl_descent());
            }
            draw_children();
        } else {
            draw_children();
        }
    }
};

// The default push button: Enter anywhere in the window presses it (unless a control uses
// the key itself), and it wears the window system's dark outline. Its mnemonic still works.
class DefaultButton : public Fl_Button {
  public:
    DefaultButton(int x, int y, int w, int h, const char* label) : Fl_Button(x, y, w, h, label) {}

    int handle(int event) override {
        if (event == FL_SHORTCUT &&
            (Fl::event_key() == FL_Enter || Fl::event_key() == FL_KP_Enter)) {
            simulate_key_action();
            do_callback();
            return 1;
        }
        return Fl_Button::handle(event);
    }

    void draw() override {
        Fl_Button::draw();
        fl_color(FL_BLACK);
        fl_rect(x(), y(), w(), h());
    }
};

// The main window: Escape does nothing (the window system's cancel command has no handler),
// the close box quits, and focus changes are reported once FLTK has finished moving it.
class MainWindow : public Fl_Double_Window {
  public:
    MainWindow(int w, int h, const char* title) : Fl_Double_Window(w, h, title) {}

    int handle(int event) override {
        if (event == FL_FOCUS && !g_controlFocusedOnce) {
            // The window takes the keyboard but gives it to no control yet.
            return 1;
        }
        // Tab while no control has the focus: the first (Shift: the last) control takes it.
        Fl_Widget* focus = Fl::focus();
        bool noControlFocused = !focus || focus == this || !contains(focus);
        if (event == FL_KEYBOARD && noControlFocused && Fl::event_key() == FL_Tab) {
            FocusFirstControl((Fl::event_state() & FL_SHIFT) != 0);
            SyncFocusReports();
            return 1;
        }
        int handled = Fl_Double_Window::handle(event);
        if (g_pendingGain || event == FL_FOCUS || event == FL_UNFOCUS || event == FL_PUSH ||
            event == FL_KEYBOARD)
            SyncFocusReports();
        return handled;
    }

    void FocusFirstControl(bool last);
};

struct Controls {
    CartList* cartList;
    EditField* title;
    Fl_Round_Button* usa;
    Fl_Round_Button* europe;
    Fl_Round_Button* japan;
    EditField* frames;
    Fl_Repeat_Button* spinUp;
    Fl_Repeat_Button* spinDown;
    Fl_Check_Button* noSound;
    Fl_Check_Button* z80;
    Fl_Button* launch;
    Fl_Button* save;
    Fl_Button* del;
    Fl_Button* about;
    Fl_Button* exit;
};

Controls g_controls = {};
int g_spinLower = 1;
int g_spinUpper = 9;
int g_spinPos = 1;

void MainWindow::FocusFirstControl(bool last) {
    Fl_Widget* order[] = {g_controls.cartList, g_controls.title, g_controls.usa,
                          g_controls.europe,   g_controls.japan, g_controls.frames,
                          g_controls.noSound,  g_controls.z80,   g_controls.launch,
                          g_controls.save,     g_controls.del,   g_controls.about,
                          g_controls.exit};
    int n = static_cast<int>(sizeof(order) / sizeof(order[0]));
    for (int i = 0; i < n; ++i) {
        Fl_Widget* w = order[last ? n - 1 - i : i];
        if (w && w->take_focus())
            return;
    }
}

// ---- Callbacks ----------------------------------------------------------------------------

void ControlCb(Fl_Widget*, void* data) {
    ReportCommand(static_cast<int>(reinterpret_cast<intptr_t>(data)), QV_BN_CLICKED);
}

void EditChangedCb(Fl_Widget*, void* data) {
    ReportCommand(static_cast<int>(reinterpret_cast<intptr_t>(data)), QV_EN_CHANGE);
}

void CartListCb(Fl_Widget*, void*) {
    CartList* list = g_controls.cartList;
    if (list->value() != list->lastSelected) {
        list->lastSelected = list->value();
        ReportCommand(IDC_CARTLIST, QV_LBN_SELCHANGE);
    }
}

void SpinUpCb(Fl_Widget*, void*) {
    StepFrameSpin(+1);
}
void SpinDownCb(Fl_Widget*, void*) {
    StepFrameSpin(-1);
}

void MainWindowCb(Fl_Widget*, void*) {
    if (Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape) {
        // The dialog keyboard handling turns Escape into the cancel command (ID 2), which the
        // command handling ignores.
        ReportCommand(2, QV_BN_CLICKED);
        return;
    }
    // Closing the window ends the program like the Exit button.
    QuitMainLoop(0);
}

void* IdData(int id) {
    return reinterpret_cast<void*>(static_cast<intptr_t>(id));
}

template <class T> T* MakeButton(int x, int y, int w, int h, const char* text, int id) {
    T* b = new T(DuX(x), DuY(y), DuW(x, w), DuH(y, h), text);
    b->callback(ControlCb, IdData(id));
    return b;
}

} // namespace

Fl_Window* CreateMainWindow() {
    FL_NORMAL_SIZE = DialogFontSize();
    // The window class's background: the light grey stock brush.
    Fl::background(192, 192, 192);

    MainWindow* win = new MainWindow(DuX(253), DuY(154), "Quorvalis '95");
    win->callback(MainWindowCb);
    if (const Fl_RGB_Image* icon = AppIcon()) {
        Fl_Window::default_icon(icon);
        win->icon(icon);
    }
    win->xclass("Quorvalis");

    Controls& c = g_controls;
    // The list reaches down to the title field in the template (the window system shortens
    // it to whole items); here it stops just above the field.
    c.cartList = new CartList(DuX(4), DuY(4), DuW(4, 180), DuY(99) - DuY(4) - 1);
    c.cartList->box(FL_DOWN_BOX);
    c.cartList->color(FL_WHITE);
    c.cartList->format_char(0); // file names are shown as they are, '@' included
    c.cartList->when(FL_WHEN_CHANGED);
    c.cartList->callback(CartListCb);
    AddReporter(c.cartList, IDC_CARTLIST, QV_LBN_SETFOCUS, QV_LBN_KILLFOCUS);

    c.title = new EditField(DuX(4), DuY(99), DuW(4, 180), DuH(99, 12));
    c.title->when(FL_WHEN_CHANGED);
    c.title->callback(EditChangedCb, IdData(IDC_TITLE));
    AddReporter(c.title, IDC_TITLE, QV_EN_SETFOCUS, QV_EN_KILLFOCUS);

    // The Version group box holds the three radio buttons, so they form one group.
    GroupBox* version = new GroupBox(DuX(192), DuY(4), DuW(192, 56), DuH(4, 39), "Version");
    c.usa = MakeButton<Fl_Round_Button>(204, 15, 32, 9, "&USA", IDC_USA);
    c.europe = MakeButton<Fl_Round_Button>(204, 23, 40, 9, "&Europe", IDC_EUROPE);
    c.japan = MakeButton<Fl_Round_Button>(204, 31, 36, 9, "&Japan", IDC_JAPAN);
    for (Fl_Round_Button* b : {c.usa, c.europe, c.japan}) {
        b->type(FL_RADIO_BUTTON);
        b->when(FL_WHEN_RELEASE_ALWAYS);
    }
    version->end();

    GroupBox* framesBox = new GroupBox(DuX(192), DuY(47), DuW(192, 56), DuH(47, 35), "Frames");
    c.frames = new EditField(DuX(208), DuY(60), DuW(208, 12), DuH(60, 13));
    c.frames->when(FL_WHEN_CHANGED);
    c.frames->callback(EditChangedCb, IdData(IDC_FRAMES));
    AddReporter(c.frames, IDC_FRAMES, QV_EN_SETFOCUS, QV_EN_KILLFOCUS);
    // The spin control: two arrows beside the field, not a tab stop.
    int spinX = DuX(220), spinY = DuY(60), spinW = DuW(220, 11), spinH = DuH(60, 13);
    c.spinUp = new Fl_Repeat_Button(spinX, spinY, spinW, spinH / 2, "@-18>");
    c.spinDown = new Fl_Repeat_Button(spinX, spinY + spinH / 2, spinW, spinH - spinH / 2, "@-12>");
    for (Fl_Repeat_Button* b : {c.spinUp, c.spinDown}) {
        b->clear_visible_focus();
        b->labelsize(DialogFontSize() * 2 / 3);
    }
    c.spinUp->callback(SpinUpCb);
    c.spinDown->callback(SpinDownCb);
    framesBox->end();

    c.noSound = MakeButton<Fl_Check_Button>(192, 90, 48, 9, "&No Sound", IDC_NOSOUND);
    c.z80 = MakeButton<Fl_Check_Button>(192, 103, 68, 9, "Enable &Z-80", IDC_Z80);
    c.launch = MakeButton<DefaultButton>(4, 116, 68, 13, "&Launch Emulator", IDC_LAUNCH);
    c.save = MakeButton<Fl_Button>(92, 116, 68, 14, "&Save Config", IDC_SAVE);
    c.del = MakeButton<Fl_Button>(180, 116, 68, 14, "&Delete Config", IDC_DELETE);
    c.about = MakeButton<Fl_Button>(4, 134, 68, 14, "&About", IDC_ABOUT);
    c.exit = MakeButton<Fl_Button>(180, 134, 68, 14, "E&xit", IDC_EXIT);
    win->end();

    // Centred on the screen's work area.
    int sx, sy, sw, sh;
    Fl::screen_work_area(sx, sy, sw, sh);
    win->position(sx + (sw - win->w()) / 2, sy + (sh - win->h()) / 2);
    g_mainWindow = win;
    return win;
}

Fl_Widget* FindControl(int id) {
    const Controls& c = g_controls;
    switch (id) {
    case IDC_CARTLIST:
        return c.cartList;
    case IDC_TITLE:
        return c.title;
    case IDC_USA:
        return c.usa;
    case IDC_EUROPE:
        return c.europe;
    case IDC_JAPAN:
        return c.japan;
    case IDC_FRAMES:
        return c.frames;
    case IDC_NOSOUND:
        return c.noSound;
    case IDC_Z80:
        return c.z80;
    case IDC_LAUNCH:
        return c.launch;
    case IDC_SAVE:
        return c.save;
    case IDC_DELETE:
        return c.del;
    case IDC_ABOUT:
        return c.about;
    case IDC_EXIT:
        return c.exit;
    default:
        return nullptr;
    }
}

void FillCartList(const char* dir) {
    std::vector<std::string> names;
    ListCartFiles(dir, &names);
    for (const std::string& name : names)
        g_controls.cartList->add(name.c_str());
}

void SetFrameSpinRange(int lower, int upper) {
    g_spinLower = lower;
    g_spinUpper = upper;
    if (g_spinPos < lower)
        g_spinPos = lower;
    if (g_spinPos > upper)
        g_spinPos = upper;
}

void StepFrameSpin(int delta) {
    // Each press steps from the number shown; text that is no number leaves the last position.
    const char* shown = g_controls.frames->value();
    char* end = nullptr;
    long value = std::strtol(shown, &end, 10);
    if (end != shown && *end == '\0' && value >= -100000 && value <= 100000)
        g_spinPos = static_cast<int>(value);
    int next = g_spinPos + delta;
    if (next > g_spinUpper)
        next = g_spinUpper;
    if (next < g_spinLower)
        next = g_spinLower;
    g_spinPos = next;
    char text[16];
    std::snprintf(text, sizeof(text), "%d", next);
    if (std::strcmp(text, shown) != 0) {
        g_controls.frames->value(text);
        ReportCommand(IDC_FRAMES, QV_EN_CHANGE);
    }
}

void ReportCommand(int id, int code) {
    TestDumpEvent(id, code);
    HandleFormCommand(id, code);
    TestDumpState("after");
}

void QuitMainLoop(int code) {
    g_exitCode = code;
    while (Fl_Window* w = Fl::first_window())
        w->hide();
}

int MainExitCode() {
    return g_exitCode;
}
