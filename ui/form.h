// The main form as the command handling sees it. Each front end (the Win32 dialog window,
// the FLTK window, the tests' in-memory form) implements these over its own controls; the
// choice is made at link time.
#pragma once

// Text of an edit control (IDC_TITLE, IDC_FRAMES): at most cap - 1 characters into buf,
// NUL-terminated. Returns the length read.
int FormGetText(int id, char* buf, int cap);

// Sets the text of an edit control. Like the window system, setting IDC_FRAMES reports the
// change: the front end calls HandleFormCommand(IDC_FRAMES, QV_EN_CHANGE) before returning.
void FormSetText(int id, const char* text);

bool FormIsChecked(int id);
void FormSetCheck(int id, bool checked);

// File name of the cartridge selected in the list (no directory). Returns false, leaving buf
// untouched, when no cartridge is selected or the name does not fit.
bool FormGetSelection(char* buf, int cap);

// Shows a short message about a failure the user must know of, modally over the main window,
// with an OK button; returns when it is closed.
void FormShowMessage(const char* text);
// A name, a path or a command line as the message boxes show it, into buf (cap bytes, cut to
// fit): written as the cartridge list writes a name (the native list: a tab and a line break
// as "^I" and "^J").
void FormShownName(const char* name, char* buf, int cap);

// Shows the About box modally and returns when it is closed.
void FormShowAbout();

// Ends the message loop; the process exits with code.
void FormQuit(int code);
