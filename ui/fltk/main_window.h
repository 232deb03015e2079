// The FLTK front end: the main window, which owns the controls of the main dialog template
// and the program's exit code; the launcher's icon and the About box.
#pragma once

#include <FL/Fl_Double_Window.H>

class CartList;
class FrameSpin;
class Fl_RGB_Image;

// The main window: Escape does nothing (the window system's cancel command has no handler),
// the close box quits, and focus changes are reported once FLTK has finished moving it.
class MainWindow : public Fl_Double_Window {
  public:
    // Builds the window, centred on the screen, with every control in template order. Not
    // shown yet.
    MainWindow();
    int handle(int event) override;

    // The control with the given ID (IDC_*), or null. The spin control (IDC_FRAMESPIN) is
    // two arrows, spin->up and spin->down.
    Fl_Widget* Control(int id) const;
    // Ends the main loop: every window is hidden, Fl::run returns and main returns exitCode.
    void Quit(int code);

    CartList* cartList;
    FrameSpin* spin;
    int exitCode = 0;

  private:
    void Add(int id, Fl_Widget* w);
    template <class T> T* AddButton(int x, int y, int w, int h, const char* text, int id);
    void FocusFirstControl(bool last);

    // Every control that has an ID, in template order: the tab order and FindControl's table.
    struct Entry {
        int id;
        Fl_Widget* widget;
    };
    Entry controls_[13] = {};
    int controlCount_ = 0;
};

// The one main window; null until it is made.
MainWindow* TheMainWindow();
// TheMainWindow()->Control(id), or null before the window is made.
Fl_Widget* FindControl(int id);

// The launcher's icon, or null when none was built in.
const Fl_RGB_Image* AppIcon();

// The About box, modal over the main window; returns when it is closed with OK or Enter.
void ShowAboutBox();
