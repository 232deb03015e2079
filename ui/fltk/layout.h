// Dialog units of the window templates, turned into pixels for the FLTK windows.
#pragma once

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
