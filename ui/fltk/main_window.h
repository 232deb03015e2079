// The FLTK front end: the main window with the controls of the main dialog template, the
// start-up sequence and the About box. The window's state is in window_state.h.
#pragma once

class Fl_RGB_Image;
class Fl_Window;

// Builds the main window, centred on the screen, with every control in template order.
// Not shown yet.
Fl_Window* CreateMainWindow();

// Fills the cartridge list with the cartridge files of the directory text dir, in list order.
void FillCartList(const char* dir);

// F5: fills the cartridge list again as at start-up, from the cartridge directory. The
// cartridge selected stays selected, the form untouched; when it is no longer listed nothing
// is selected and the form shows what it shows with no selection.
void RescanCartList();

// The spin control's range; each arrow press steps the frame value field within it.
void SetFrameSpinRange(int lower, int upper);

// Ends the main loop: every window is hidden, Fl::run returns and main returns code.
void QuitMainLoop(int code);

// The launcher's icon, or null when none was built in.
const Fl_RGB_Image* AppIcon();

// The About box, modal over the main window; returns when it is closed with OK or Enter.
void ShowAboutBox();
