// Pixel sizes from dialog units.
#include "ui/fltk/layout.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>

#include <cmath>

namespace {

constexpr double kPxPerUnitX = 1.5;
constexpr double kPxPerUnitY = 1.625;
constexpr double kBaseDpi = 96.0;
constexpr int kBaseFontSize = 11;

double g_scale = 1.0; // pixels per dialog unit, as a multiple of their size at 96 dpi

} // namespace

void InitLayoutScale() {
    float h = 0, v = 0;
    Fl::screen_dpi(h, v, 0);
    double dpi = v > h ? v : h;
    // Whole quarter steps keep lines crisp; the nearest one, as a screen's dpi is worked out
    // from its size in whole millimetres (a 192-dpi screen reads as 191.7); never smaller
    // than at 96 dpi.
    double s = std::round(dpi / kBaseDpi * 4.0) / 4.0;
    g_scale = s < 1.0 ? 1.0 : s;
}

double LayoutScale() {
    return g_scale;
}

int DuX(int x) {
    return static_cast<int>(std::lround(x * kPxPerUnitX * g_scale));
}
int DuY(int y) {
    return static_cast<int>(std::lround(y * kPxPerUnitY * g_scale));
}
int DuW(int x, int w) {
    return DuX(x + w) - DuX(x);
}
int DuH(int y, int h) {
    return DuY(y + h) - DuY(y);
}

int DialogFontSize() {
    return static_cast<int>(std::lround(kBaseFontSize * g_scale));
}

void CentreWindow(Fl_Window* win, Fl_Window* over) {
    int sx, sy, sw, sh;
    Fl::screen_work_area(sx, sy, sw, sh);
    int x = sx + (sw - win->w()) / 2, y = sy + (sh - win->h()) / 2;
    if (over && over->shown()) {
        x = over->x() + (over->w() - win->w()) / 2;
        y = over->y() + (over->h() - win->h()) / 2;
    }
    x = x + win->w() > sx + sw ? sx + sw - win->w() : x;
    y = y + win->h() > sy + sh ? sy + sh - win->h() : y;
    win->position(x < sx ? sx : x, y < sy ? sy : y);
}
