// The main window: the controls of the main dialog template laid out from its dialog units,
// and the events they report to the command handling with the window system's IDs and codes.
#include "ui/fltk/main_window.h"
#include "ui/fltk/test_dump.h"

#include "core/cartridge.h"
#include "res/resource.h"
#include "ui/commands.h"
#include "ui/fltk/cart_list.h"
#include "ui/fltk/focus_reports.h"
#include "ui/fltk/layout.h"

#include <FL/Fl.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Group.H>
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
// How many times the form has set a field's text (SetFieldText).
int g_fieldTextSets = 0;

// ---- Controls -----------------------------------------------------------------------------

// An edit field: reports text changes (through its callback) and focus changes. Up and Down
// move the caret one character back and on, as the window system's one-line edit control
// does (measured under Wine), instead of moving the focus.
// Like that control without horizontal scrolling, it takes no more text than its visible
// width shows: a typed character that would not fit is refused, a paste is cut to what fits.
class EditField : public Fl_Input {
  public:
    EditField(int x, int y, int w, int h) : Fl_Input(x, y, w, h) {}

    int handle(int event) override {
        if (event == FL_KEYBOARD && (Fl::event_key() == FL_Up || Fl::event_key() == FL_Down)) {
            int to = Fl::event_key() == FL_Up ? CharBefore(position()) : CharAfter(position());
            position(to, (Fl::event_state() & FL_SHIFT) ? mark() : to);
            return 1;
        }
        if (event == FL_PUSH && Fl::event_button() != FL_LEFT_MOUSE) {
            // A right click gives the field the focus (the window system's edit control then
            // opens its context menu, which this field has not); a middle click does nothing.
            if (Fl::event_button() == FL_RIGHT_MOUSE)
                FocusControl(this);
            return 1;
        }
        int setsBefore = g_fieldTextSets;
        int handled = InsertsText(event) ? InsertFitting() : Fl_Input::handle(event);
        // A click that took the focus from the list reloaded the form; the window system
        // places the caret first and then moves the focus, so the reload's new text leaves
        // the caret at the start, not where the click was.
        if (event == FL_PUSH && g_fieldTextSets != setsBefore)
            position(0);
        NoteFocusEvent(this, event, handled);
        return handled;
    }

  private:
    // The position of the UTF-8 character before or after position p.
    int CharBefore(int p) const {
        const char* t = value();
        if (p > 0)
            --p;
        while (p > 0 && (static_cast<unsigned char>(t[p]) & 0xC0) == 0x80)
            --p;
        return p;
    }
    int CharAfter(int p) const {
        const char* t = value();
        if (p < size())
            ++p;
        while (p < size() && (static_cast<unsigned char>(t[p]) & 0xC0) == 0x80)
            ++p;
        return p;
    }

    static bool InsertsText(int event) {
        if (event == FL_PASTE)
            return true;
        if (event != FL_KEYBOARD || (Fl::event_state() & (FL_CTRL | FL_ALT | FL_META)))
            return false;
        const char* t = Fl::event_text();
        return Fl::event_length() > 0 && static_cast<unsigned char>(t[0]) >= 0x20 && t[0] != 0x7F;
    }

    // The room for text: the field inside its frame. (The text starts one pixel in, and a
    // character's advance ends in a blank column, so text of this width shows whole; the
    // frame value field then holds two digits, as on the Win32 build, which the correction
    // of a second digit needs.)
    int TextRoom() const { return w() - Fl::box_dw(box()); }

    // Inserts the longest start of the event's text that keeps the whole text within the
    // field's width, in place of the selection.
    int InsertFitting() {
        std::string text = value();
        int a = position() < mark() ? position() : mark();
        int b = position() < mark() ? mark() : position();
        std::string insert(Fl::event_text(), static_cast<size_t>(Fl::event_length()));
        fl_font(textfont(), textsize());
        while (!insert.empty()) {
            std::string candidate = text.substr(0, static_cast<size_t>(a)) + insert +
                                    text.substr(static_cast<size_t>(b));
            if (fl_width(candidate.c_str()) <= TextRoom())
                break;
            // One whole UTF-8 character less: its continuation bytes, then its first byte.
            size_t cut = insert.size() - 1;
            while (cut > 0 && (static_cast<unsigned char>(insert[cut]) & 0xC0) == 0x80)
                --cut;
            insert.resize(cut);
        }
        if (!insert.empty())
            replace(a, b, insert.c_str(), static_cast<int>(insert.size()));
        return 1;
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

struct Controls;
extern Controls g_controls;

// The buttons, check boxes and radio buttons, as the dialog keyboard handling of the Win32
// build works them (measured under Wine, tests/frontend):
// - A left click gives the control the focus first (so the list's loss of it reloads the form
//   before the click acts), then acts on release; right and middle clicks do nothing.
// - Its mnemonic letter acts from anywhere except the list and the edit fields, which take
//   letters themselves; there Alt with the letter does. The mnemonic moves the focus to the
//   control, then clicks it: a radio button is checked, a check box toggled, a push button
//   pressed.
// - Space clicks the focused control. Enter presses the default push button when it has the
//   focus and does nothing anywhere else (the dialog has no default command of its own).
// - Arrow keys move between the three radio buttons only, checking the one they land on; they
//   stop at the first and the last and do nothing on any other control. (Tab does move the
//   focus here, in template order, where the Win32 build's dialog handling moves none.)
enum class ButtonKind { Push, Default, Radio, Check };

void ClickButton(Fl_Button* b) {
    if (b->type() == FL_RADIO_BUTTON) {
        if (!b->value())
            b->setonly();
    } else if (b->type() == FL_TOGGLE_BUTTON) {
        b->value(!b->value());
    }
    b->do_callback();
}

void ArrowFromButton(Fl_Button* b, int key);

template <class Base, ButtonKind kKind> class DialogButton : public Base {
  public:
    DialogButton(int x, int y, int w, int h, const char* label) : Base(x, y, w, h, label) {}

    int handle(int event) override {
        switch (event) {
        case FL_PUSH:
            if (Fl::event_button() != FL_LEFT_MOUSE)
                return 0;
            FocusControl(this);
            break;
        case FL_SHORTCUT:
            if (!this->test_shortcut())
                return 0;
            FocusControl(this);
            ClickButton(this);
            return 1;
        case FL_KEYBOARD: {
            int key = Fl::event_key();
            if (key == FL_Up || key == FL_Down || key == FL_Left || key == FL_Right) {
                if (kKind == ButtonKind::Radio)
                    ArrowFromButton(this, key);
                return 1;
            }
            if (key == FL_Enter || key == FL_KP_Enter) {
                if (kKind == ButtonKind::Default)
                    ClickButton(this);
                return 1;
            }
            break;
        }
        default:
            break;
        }
        return Base::handle(event);
    }

    void draw() override {
        Base::draw();
        if (kKind == ButtonKind::Default) {
            // The window system's dark outline of the default push button.
            fl_color(FL_BLACK);
            fl_rect(this->x(), this->y(), this->w(), this->h());
        }
    }
};

using PushButton = DialogButton<Fl_Button, ButtonKind::Push>;
using DefaultButton = DialogButton<Fl_Button, ButtonKind::Default>;
using RadioButton = DialogButton<Fl_Round_Button, ButtonKind::Radio>;
using CheckButton = DialogButton<Fl_Check_Button, ButtonKind::Check>;

// A spin control arrow: not a tab stop; a left click gives the frame value field the focus
// first, as the up-down control does, so the list's loss of it reloads the form before the
// step and not after it.
class SpinArrow : public Fl_Repeat_Button {
  public:
    SpinArrow(int x, int y, int w, int h, const char* label, Fl_Widget* field)
        : Fl_Repeat_Button(x, y, w, h, label), field_(field) {}

    int handle(int event) override {
        if (event == FL_PUSH) {
            if (Fl::event_button() != FL_LEFT_MOUSE)
                return 0;
            FocusControl(field_);
        }
        return Fl_Repeat_Button::handle(event);
    }

  private:
    Fl_Widget* field_;
};

// The main window: Escape does nothing (the window system's cancel command has no handler),
// the close box quits, and focus changes are reported once FLTK has finished moving it.
class MainWindow : public Fl_Double_Window {
  public:
    MainWindow(int w, int h, const char* title) : Fl_Double_Window(w, h, title) {}

    int handle(int event) override {
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

    void FocusFirstControl(bool last);
};

struct Controls {
    CartList* cartList;
    EditField* title;
    RadioButton* usa;
    RadioButton* europe;
    RadioButton* japan;
    EditField* frames;
    SpinArrow* spinUp;
    SpinArrow* spinDown;
    CheckButton* noSound;
    CheckButton* z80;
    DefaultButton* launch;
    PushButton* save;
    PushButton* del;
    PushButton* about;
    PushButton* exit;
};

Controls g_controls = {};
int g_spinLower = 1;
int g_spinUpper = 9;
int g_spinPos = 1;

void ArrowFromButton(Fl_Button* b, int key) {
    Fl_Button* radios[] = {g_controls.usa, g_controls.europe, g_controls.japan};
    int step = key == FL_Up || key == FL_Left ? -1 : 1;
    for (int i = 0; i < 3; ++i) {
        int next = i + step;
        if (radios[i] == b && next >= 0 && next < 3) {
            FocusControl(radios[next]);
            ClickButton(radios[next]);
            return;
        }
    }
}

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
    AddFocusReporter(c.cartList, IDC_CARTLIST, QV_LBN_SETFOCUS, QV_LBN_KILLFOCUS);

    c.title = new EditField(DuX(4), DuY(99), DuW(4, 180), DuH(99, 12));
    c.title->when(FL_WHEN_CHANGED);
    c.title->callback(EditChangedCb, IdData(IDC_TITLE));
    AddFocusReporter(c.title, IDC_TITLE, QV_EN_SETFOCUS, QV_EN_KILLFOCUS);

    // The Version group box holds the three radio buttons, so they form one group.
    GroupBox* version = new GroupBox(DuX(192), DuY(4), DuW(192, 56), DuH(4, 39), "Version");
    c.usa = MakeButton<RadioButton>(204, 15, 32, 9, "&USA", IDC_USA);
    c.europe = MakeButton<RadioButton>(204, 23, 40, 9, "&Europe", IDC_EUROPE);
    c.japan = MakeButton<RadioButton>(204, 31, 36, 9, "&Japan", IDC_JAPAN);
    for (RadioButton* b : {c.usa, c.europe, c.japan}) {
        b->type(FL_RADIO_BUTTON);
        b->when(FL_WHEN_RELEASE_ALWAYS);
    }
    version->end();

    GroupBox* framesBox = new GroupBox(DuX(192), DuY(47), DuW(192, 56), DuH(47, 35), "Frames");
    c.frames = new EditField(DuX(208), DuY(60), DuW(208, 12), DuH(60, 13));
    c.frames->when(FL_WHEN_CHANGED);
    c.frames->callback(EditChangedCb, IdData(IDC_FRAMES));
    AddFocusReporter(c.frames, IDC_FRAMES, QV_EN_SETFOCUS, QV_EN_KILLFOCUS);
    // The spin control: two arrows beside the field, not a tab stop.
    int spinX = DuX(220), spinY = DuY(60), spinW = DuW(220, 11), spinH = DuH(60, 13);
    c.spinUp = new SpinArrow(spinX, spinY, spinW, spinH / 2, "@-18>", c.frames);
    c.spinDown =
        new SpinArrow(spinX, spinY + spinH / 2, spinW, spinH - spinH / 2, "@-12>", c.frames);
    for (SpinArrow* b : {c.spinUp, c.spinDown}) {
        b->clear_visible_focus();
        b->labelsize(DialogFontSize() * 2 / 3);
    }
    c.spinUp->callback(SpinUpCb);
    c.spinDown->callback(SpinDownCb);
    framesBox->end();

    c.noSound = MakeButton<CheckButton>(192, 90, 48, 9, "&No Sound", IDC_NOSOUND);
    c.z80 = MakeButton<CheckButton>(192, 103, 68, 9, "Enable &Z-80", IDC_Z80);
    c.launch = MakeButton<DefaultButton>(4, 116, 68, 13, "&Launch Emulator", IDC_LAUNCH);
    c.save = MakeButton<PushButton>(92, 116, 68, 14, "&Save Config", IDC_SAVE);
    c.del = MakeButton<PushButton>(180, 116, 68, 14, "&Delete Config", IDC_DELETE);
    c.about = MakeButton<PushButton>(4, 134, 68, 14, "&About", IDC_ABOUT);
    c.exit = MakeButton<PushButton>(180, 134, 68, 14, "E&xit", IDC_EXIT);
    win->end();
    SetFocusReportWindow(win);

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

void SetFieldText(Fl_Input* field, const char* text) {
    field->value(text ? text : "");
    // As the window system's edit control does when its text is set: the caret at the start.
    field->position(0);
    ++g_fieldTextSets;
}

Fl_Widget* FindSpinArrow(int delta) {
    return delta > 0 ? g_controls.spinUp : g_controls.spinDown;
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
