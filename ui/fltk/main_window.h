// The FLTK front end: the main window with the controls of the main dialog template, the
// start-up sequence and the About box.
#pragma once

class Fl_Browser;
class Fl_RGB_Image;
class Fl_Widget;
class Fl_Window;

extern Fl_Window* g_mainWindow;

// Builds the main window, centred on the screen, with every control in template order.
// Not shown yet.
Fl_Window* CreateMainWindow();

// The control with the given ID (IDC_*), or null. The spin control (IDC_FRAMESPIN) is two
// arrows: FindSpinArrow gives the up (+1) or down (-1) one.
Fl_Widget* FindControl(int id);
Fl_Widget* FindSpinArrow(int delta);

// Fills the cartridge list with the cartridge files of the directory text dir, in list order.
void FillCartList(const char* dir);

// The spin control's range; each arrow press steps the frame value field within it.
void SetFrameSpinRange(int lower, int upper);
// One press of the spin control's up (+1) or down (-1) arrow.
void StepFrameSpin(int delta);

// Hands one control report to the command handling (and to the test dump when enabled).
void ReportCommand(int id, int code);

// Ends the main loop: every window is hidden, Fl::run returns and main returns code.
void QuitMainLoop(int code);
int MainExitCode();

// The launcher's icon, or null when none was built in.
const Fl_RGB_Image* AppIcon();

// The About box, modal over the main window; returns when it is closed with OK or Enter.
void ShowAboutBox();
