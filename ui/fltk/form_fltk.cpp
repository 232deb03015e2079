// The form interface of the command handling over the FLTK main window's controls.
#include "ui/form.h"

#include "platform/text_copy.h"
#include "res/about.h"
#include "res/resource.h"
#include "ui/commands.h"
#include "ui/fltk/controls.h"
#include "ui/fltk/layout.h"
#include "ui/fltk/main_window.h"
#include "ui/fltk/plain_text.h"
#include "ui/fltk/test_dump.h"

#include <FL/Fl_Button.H>
#include <FL/Fl_Hold_Browser.H>
#include <FL/Fl_Input.H>
#include <FL/fl_ask.H>

#include <cstring>

namespace {

Fl_Input* EditControl(int id) {
    if (id != IDC_TITLE && id != IDC_FRAMES)
        return nullptr;
    return static_cast<Fl_Input*>(FindControl(id));
}

Fl_Button* ButtonControl(int id) {
    switch (id) {
    case IDC_USA:
    case IDC_EUROPE:
    case IDC_JAPAN:
    case IDC_NOSOUND:
    case IDC_Z80:
        return static_cast<Fl_Button*>(FindControl(id));
    default:
        return nullptr;
    }
}

// How deep change reports of the frame value field are nested: each correction sets the field
// once more and so reports again; the nesting stops at a limit even if a correction never
// settles.
int g_framesChangeDepth = 0;
constexpr int kMaxFramesChangeDepth = 4;

} // namespace

int FormGetText(int id, char* buf, int cap) {
    if (!buf || cap <= 0)
        return 0;
    buf[0] = '\0';
    Fl_Input* edit = EditControl(id);
    if (!edit)
        return 0;
    CopyTextCut(buf, cap, edit->value());
    return static_cast<int>(std::strlen(buf));
}

void FormSetText(int id, const char* text) {
    Fl_Input* edit = EditControl(id);
    if (!edit)
        return;
    SetFieldText(edit, text);
    if (id == IDC_FRAMES && g_framesChangeDepth < kMaxFramesChangeDepth) {
        ++g_framesChangeDepth;
        HandleFormCommand(IDC_FRAMES, QV_EN_CHANGE);
        --g_framesChangeDepth;
    }
}

bool FormIsChecked(int id) {
    Fl_Button* b = ButtonControl(id);
    return b && b->value() != 0;
}

void FormSetCheck(int id, bool checked) {
    if (Fl_Button* b = ButtonControl(id))
        b->value(checked ? 1 : 0);
}

bool FormGetSelection(char* buf, int cap) {
    Fl_Hold_Browser* list = static_cast<Fl_Hold_Browser*>(FindControl(IDC_CARTLIST));
    if (!list || !buf || cap <= 0)
        return false;
    int line = list->value();
    if (line <= 0)
        return false;
    const char* name = list->text(line);
    if (!name)
        return false;
    return CopyText(buf, cap, name);
}

// The message box of a failed command: the launcher's caption, an exclamation mark, the text
// and an OK button, modal over the main window. OK, Enter, Escape and the close box end it.
// The text may hold a cartridge name, which is shown as it is.
void FormShowMessage(const char* text) {
    fl_message_font(FL_HELVETICA, DialogFontSize());
    fl_message_title(QV_CAPTION);
    fl_close = "OK";
    fl_alert("%s", PlainLabelText(text).c_str());
    TestDumpMessage(text);
}

void FormShownName(const char* name, char* buf, int cap) {
    CopyTextCut(buf, cap, std::string_view(OneRowText(name)));
}

void FormShowAbout() {
    ShowAboutBox();
}

void FormQuit(int code) {
    TheMainWindow()->Quit(code);
}
