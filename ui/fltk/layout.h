// Dialog units of the window templates, turned into pixels for the FLTK windows.
#pragma once

class Fl_Window;

// Works out the scale from the screen's resolution: 1 at 96 dpi, more on high-DPI screens.
// Call once after the display is open and before any Du* conversion.
void InitLayoutScale();
double LayoutScale();

// An 8-point dialog font gives 1.5 pixels per horizontal and 1.625 per vertical unit at 96 dpi.
int DuX(int x);
int DuY(int y);
// Sizes from a position and an extent, so that neighbouring controls meet without gaps.
int DuW(int x, int w);
int DuH(int y, int h);

// The text size that stands in for the templates' 8-point font.
int DialogFontSize();

// Places win in the middle of the window over (when it is shown) or of the screen's work area,
// and within the work area.
void CentreWindow(Fl_Window* win, Fl_Window* over);
