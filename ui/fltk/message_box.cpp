// The message box of a failed command: the launcher's caption, an exclamation mark, the text
// and an OK button, modal over the main window. OK, Enter, Escape and the close box end it.
#include "ui/fltk/layout.h"
#include "ui/form.h"

#include <FL/Fl.H>
#include <FL/fl_ask.H>

void FormShowMessage(const char* text) {
    fl_message_font(FL_HELVETICA, DialogFontSize());
    fl_message_title("Quorvalis '95");
    fl_close = "OK";
    fl_alert("%s", text);
}
