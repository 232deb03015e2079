// Keyboard focus reports: the cartridge list and the two edit fields report gaining and losing
// the keyboard focus, as the window system's list box and edit controls do.
#pragma once

class Fl_Widget;

// w (a control of the main window, already in it) reports focus changes to the command
// handling as control id with these codes.
void AddFocusReporter(Fl_Widget* w, int id, int setCode, int killCode);

// Whether a control of the main window has had the focus yet; whether a gain is unreported.
bool ControlFocusedOnce();
bool FocusGainPending();

// Brings the reports in line with where the focus is now: losses first, then the gain.
void SyncFocusReports();

// Called after a reporting widget has handled an event.
void NoteFocusEvent(Fl_Widget* w, int event, int handled);

// Gives w the keyboard focus and reports the change at once, before w acts on the event
// that moved the focus (as the window system does for a click or a mnemonic).
void FocusControl(Fl_Widget* w);
