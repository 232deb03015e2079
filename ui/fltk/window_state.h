// The native window's state: the main window, its controls and what they remember between
// events, in one place. There is one window, so there is one instance, g_window, which the
// window's functions reach directly. The test trace keeps its own few flags in test_dump.cpp,
// as only the traced copy has them.
#pragma once

class Fl_Browser;
class Fl_Button;
class Fl_Input;
class Fl_Widget;
class Fl_Window;

// A control that reports gaining and losing the keyboard focus (focus_reports.cpp).
struct FocusReporter {
    Fl_Widget* widget;
    int id;
    int setCode;
    int killCode;
    bool focused; // a gain was reported and no loss since
};

// The main window's controls, in template order.
struct Controls {
    Fl_Browser* cartList;
    Fl_Input* title;
    Fl_Button* usa;
    Fl_Button* europe;
    Fl_Button* japan;
    Fl_Input* frames;
    Fl_Widget* spinUp;
    Fl_Widget* spinDown;
    Fl_Button* noSound;
    Fl_Button* z80;
    Fl_Button* launch;
    Fl_Button* save;
    Fl_Button* del;
    Fl_Button* about;
    Fl_Button* exit;
};

struct WindowState {
    Fl_Window* window = nullptr;
    Controls controls = {};
    // main returns it once the main loop has ended.
    int exitCode = 0;
    // Pixels per dialog unit, as a multiple of their size at 96 dpi.
    double layoutScale = 1.0;

    // The spin control's range and position; each arrow press steps the frame value field.
    int spinLower = 1;
    int spinUpper = 9;
    int spinPos = 1;

    // How many times the form has set a field's text (SetFieldText).
    int fieldTextSets = 0;
    // How deep change reports of the frame value field are nested: each correction sets the
    // field once more and so reports again; the nesting stops at a limit even if a correction
    // never settles.
    int framesChangeDepth = 0;

    // The cartridge list and the two edit fields.
    FocusReporter reporters[3] = {};
    int reporterCount = 0;
    // A gain FLTK offered and that is not reported yet.
    Fl_Widget* pendingGain = nullptr;
    // Start-up focuses no control, so nothing reports (and reloads) before the user acts.
    bool controlFocusedOnce = false;
};

extern WindowState g_window;

// The control with the given ID (IDC_*), or null. The spin control (IDC_FRAMESPIN) is two
// arrows, controls.spinUp and controls.spinDown.
Fl_Widget* FindControl(int id);
