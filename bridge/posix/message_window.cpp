// zelko-message.so: the bridge's message window, an FLTK alert with one Close button. The
// bridge loads it only when it has something to tell, so its own starts stay light.
#include <FL/Fl.H>
#include <FL/fl_ask.H>
#include <FL/x.H>

#include "ui/fltk/plain_text.h"

// Shows text (which may hold a cartridge path, shown as it is) in a small window titled title
// until the user closes it. Returns 0, showing nothing, when the display cannot be opened.
extern "C" __attribute__((visibility("default"))) int ZelkoShowMessage(const char* title,
                                                                       const char* text) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr)
        return 0;
    fl_open_display(display);
    fl_message_title(title);
    fl_alert("%s", PlainLabelText(text).c_str());
    return 1;
}
