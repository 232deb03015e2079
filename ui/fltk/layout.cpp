// Pixel sizes from dialog units.
#include "ui/fltk/layout.h"

#include <FL/Fl.H>

#include <cmath>

namespace {

double g_scale = 1.0;

constexpr double kPxPerUnitX = 1.5;
constexpr double kPxPerUnitY = 1.625;
constexpr double kBaseDpi = 96.0;
constexpr int kBaseFontSize = 11;

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
