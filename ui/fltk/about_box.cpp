// The About box: the launcher's name, version and credits, closed only by OK or Enter.
#include "res/about.h"
#include "ui/fltk/layout.h"
#include "ui/fltk/main_window.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_RGB_Image.H>
#include <FL/Fl_Return_Button.H>
#include <FL/fl_draw.H>

#include <cmath>

namespace {

// A static text drawn as it is: no symbols ('@' in the e-mail address) and no mnemonics.
class StaticText : public Fl_Box {
  public:
    StaticText(int x, int y, int w, int h, const char* text) : Fl_Box(x, y, w, h, text) {}

    void draw() override {
        fl_font(labelfont(), labelsize());
        fl_color(labelcolor());
        fl_draw(label(), x(), y(), w(), h(), FL_ALIGN_CENTER | FL_ALIGN_TOP, nullptr, 0);
    }
};

void OkCb(Fl_Widget* w, void*) {
    w->window()->hide();
}

// Escape and the window manager's close box: the box has no cancel command and no close
// box of its own, so both are ignored.
void AboutWindowCb(Fl_Widget*, void*) {}

void AddText(int x, int y, int w, int h, const char* text) {
    new StaticText(DuX(x), DuY(y), DuW(x, w), DuH(y, h), text);
}

// The icon grows with the dialog on a high-dpi screen (32 pixels at 96 dpi), each pixel
// repeated; made once and kept.
Fl_Image* ScaledIcon() {
    static Fl_Image* scaled = nullptr;
    Fl_RGB_Image* icon = const_cast<Fl_RGB_Image*>(AppIcon());
    if (!icon || LayoutScale() <= 1.0)
        return icon;
    if (!scaled)
        scaled = icon->copy(static_cast<int>(std::lround(icon->w() * LayoutScale())),
                            static_cast<int>(std::lround(icon->h() * LayoutScale())));
    return scaled;
}

void AddIcon(int x, int y, int w, int h) {
    Fl_Box* b = new Fl_Box(DuX(x), DuY(y), DuW(x, w), DuH(y, h));
    // The icon keeps its own size, drawn from the control's top-left corner.
    b->align(FL_ALIGN_INSIDE | FL_ALIGN_TOP_LEFT);
    if (Fl_Image* icon = ScaledIcon())
        b->image(icon);
}

void AddBlackLine(int x, int y, int w, int h) {
    Fl_Box* b = new Fl_Box(DuX(x), DuY(y), DuW(x, w), DuH(y, h) > 0 ? DuH(y, h) : 1);
    b->box(FL_FLAT_BOX);
    b->color(FL_BLACK);
}

} // namespace

void ShowAboutBox() {
    Fl_Double_Window win(DuX(167), DuY(97), QV_ABOUT_CAPTION);
    // Template order; OK comes second, so it is the first tab stop and gets the focus.
    AddText(32, 4, 104, 7, QV_ABOUT_NAME);
    Fl_Return_Button* ok = new Fl_Return_Button(DuX(67), DuY(78), DuW(67, 32), DuH(78, 14), "OK");
    ok->callback(OkCb);
    AddIcon(140, 4, 21, 20);
    AddText(4, 30, 160, 9, QV_ABOUT_COPYRIGHT);
    AddText(32, 22, 104, 9, QV_ABOUT_AUTHOR);
    AddText(32, 13, 104, 8, QV_ABOUT_VERSION);
    AddIcon(7, 4, 21, 20);
    AddText(4, 47, 160, 9, QV_ABOUT_EMAIL);
    AddText(4, 56, 160, 9, QV_ABOUT_WEB);
    AddBlackLine(8, 43, 152, 1);
    AddBlackLine(8, 69, 152, 1);
    win.end();
    win.callback(AboutWindowCb);
    win.set_modal();
    win.xclass("Quorvalis");
    CentreWindow(&win, nullptr);

    win.show();
    ok->take_focus();
    while (win.shown())
        Fl::wait();
}
