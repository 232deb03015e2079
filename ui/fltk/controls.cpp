// The main window's controls, modelled on the Win32 build's dialog as measured under Wine with
// real X input (tests/frontend: the probe's view of the form after each key or click).
//
// Edit fields (the one-line edit control, without horizontal scrolling):
// - Typing stops at the visible width: a character that would not fit is refused, a paste is
//   cut to what fits.
// - Up and Down move the caret one character back and on.
// - Setting the text (a reload of the form) puts the caret at the start. A click that takes
//   the focus from the list places the caret, then the focus moves and the reload's text puts
//   the caret at the start: typing then goes in front of the loaded title.
// - A right click takes the focus (and opens a context menu there, which this field has not);
//   a middle click does nothing.
//
// Buttons, check boxes and radio buttons (the dialog keyboard handling):
// - A left click gives the control the focus first (so the list's loss of it reloads the form
//   before the click acts), then acts on release; right and middle clicks do nothing.
// - Its mnemonic letter acts from anywhere except the list and the edit fields, which take
//   letters themselves; there Alt with the letter does. Shift makes no difference, Ctrl stops
//   it. The mnemonic moves the focus to the control, then clicks it: a radio button is
//   checked, a check box toggled, a push button pressed.
// - Space clicks the focused control. Enter presses the default push button when it has the
//   focus and does nothing anywhere else (the dialog has no default command of its own).
// - Arrow keys move between the three radio buttons only, checking the one they land on; they
//   stop at the first and the last and do nothing on any other control. (Tab does move the
//   focus here, in template order, where the Win32 build's dialog handling moves none.)
//
// The spin control's arrows give the frame value field the focus before they step, as the
// up-down control does, so the list's reload on losing the focus comes first.
#include "ui/fltk/controls.h"

#include "res/resource.h"
#include "ui/fltk/focus_reports.h"
#include "ui/fltk/layout.h"
#include "ui/fltk/report.h"

#include <FL/Fl.H>
#include <FL/fl_draw.H>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// How many times the form has set a field's text (SetFieldText).
int g_fieldTextSets = 0;

bool IsArrow(int key) {
    return key == FL_Up || key == FL_Down || key == FL_Left || key == FL_Right;
}

void ClickButton(Fl_Button* b) {
    if (b->type() == FL_RADIO_BUTTON) {
        if (!b->value())
            b->setonly();
    } else if (b->type() == FL_TOGGLE_BUTTON) {
        b->value(!b->value());
    }
    b->do_callback();
}

// The arrow keys move between the radio buttons of b's group box, in template order.
void ArrowFromRadio(Fl_Button* b, int key) {
    Fl_Group* group = b->parent();
    int next = group->find(b) + (key == FL_Up || key == FL_Left ? -1 : 1);
    if (next >= 0 && next < group->children()) {
        Fl_Button* to = static_cast<Fl_Button*>(group->child(next));
        FocusControl(to);
        ClickButton(to);
    }
}

bool InsertsText(int event) {
    if (event == FL_PASTE)
        return true;
    if (event != FL_KEYBOARD || (Fl::event_state() & (FL_CTRL | FL_ALT | FL_META)))
        return false;
    const char* t = Fl::event_text();
    return Fl::event_length() > 0 && static_cast<unsigned char>(t[0]) >= 0x20 && t[0] != 0x7F;
}

} // namespace

// ---- Edit fields ------------------------------------------------------------------------------

int EditField::handle(int event) {
    if (event == FL_KEYBOARD && (Fl::event_key() == FL_Up || Fl::event_key() == FL_Down)) {
        int to = Fl::event_key() == FL_Up ? CharBefore(position()) : CharAfter(position());
        position(to, (Fl::event_state() & FL_SHIFT) ? mark() : to);
        return 1;
    }
    if (event == FL_PUSH && Fl::event_button() != FL_LEFT_MOUSE) {
        if (Fl::event_button() == FL_RIGHT_MOUSE)
            FocusControl(this);
        return 1;
    }
    int setsBefore = g_fieldTextSets;
    int handled = InsertsText(event) ? InsertFitting() : Fl_Input::handle(event);
    // FLTK moves the focus before it places the caret; here the reload that the focus move
    // made leaves the caret at the start, as on the Win32 build.
    if (event == FL_PUSH && g_fieldTextSets != setsBefore)
        position(0);
    NoteFocusEvent(this, event, handled);
    return handled;
}

// The position of the UTF-8 character before or after position p.
int EditField::CharBefore(int p) const {
    const char* t = value();
    if (p > 0)
        --p;
    while (p > 0 && (static_cast<unsigned char>(t[p]) & 0xC0) == 0x80)
        --p;
    return p;
}

int EditField::CharAfter(int p) const {
    const char* t = value();
    if (p < size())
        ++p;
    while (p < size() && (static_cast<unsigned char>(t[p]) & 0xC0) == 0x80)
        ++p;
    return p;
}

// The room for text: the field inside its frame. (The text starts one pixel in, and a
// character's advance ends in a blank column, so text of this width shows whole; the frame
// value field then holds two digits, as on the Win32 build, which the correction of a second
// digit needs.)
int EditField::TextRoom() const {
    return w() - Fl::box_dw(box());
}

bool EditField::Fits(const char* text) const {
    fl_font(textfont(), textsize());
    return fl_width(text) <= TextRoom();
}

// Inserts the longest start of the event's text that keeps the whole text within the field's
// width, in place of the selection.
int EditField::InsertFitting() {
    std::string text = value();
    int a = position() < mark() ? position() : mark();
    int b = position() < mark() ? mark() : position();
    std::string insert(Fl::event_text(), static_cast<size_t>(Fl::event_length()));
    while (!insert.empty()) {
        std::string candidate =
            text.substr(0, static_cast<size_t>(a)) + insert + text.substr(static_cast<size_t>(b));
        if (Fits(candidate.c_str()))
            break;
        // One whole UTF-8 character less: its continuation bytes, then its first byte.
        size_t cut = insert.size() - 1;
        while (cut > 0 && (static_cast<unsigned char>(insert[cut]) & 0xC0) == 0x80)
            --cut;
        insert.resize(cut);
    }
    if (!insert.empty())
        replace(a, b, insert.c_str(), static_cast<int>(insert.size()));
    return 1;
}

void SetFieldText(Fl_Input* field, const char* text) {
    field->value(text ? text : "");
    field->position(0);
    ++g_fieldTextSets;
}

// ---- Group boxes ------------------------------------------------------------------------------

GroupBox::GroupBox(int x, int y, int w, int h, const char* label) : Fl_Group(x, y, w, h, label) {
    // The caption is drawn on the frame by draw(), not outside the group.
    align(FL_ALIGN_INSIDE | FL_ALIGN_TOP_LEFT);
}

void GroupBox::draw() {
    if (damage() & ~FL_DAMAGE_CHILD) {
        fl_font(labelfont(), labelsize());
        int textH = fl_height();
        int frameY = y() + textH / 2;
        fl_color(color());
        fl_rectf(x(), y(), w(), h());
        fl_draw_box(FL_ENGRAVED_FRAME, x(), frameY, w(), h() - (frameY - y()), color());
        if (label()) {
            int textW = static_cast<int>(fl_width(label()));
            int gap = DuX(2);
            fl_color(color());
            fl_rectf(x() + DuX(4), y(), textW + 2 * gap, textH);
            fl_color(active_r() ? labelcolor() : fl_inactive(labelcolor()));
            fl_draw(label(), x() + DuX(4) + gap, y() + textH - fl_descent());
        }
    }
    draw_children();
}

// ---- Buttons ----------------------------------------------------------------------------------

template <class Base, ButtonKind kKind> int DialogButton<Base, kKind>::handle(int event) {
    switch (event) {
    case FL_PUSH:
        if (Fl::event_button() != FL_LEFT_MOUSE)
            return 0;
        FocusControl(this);
        break;
    case FL_RELEASE:
        // A release outside the control is no click. FLTK reports pointer motion after the
        // other events that came with it, so a quick move out and release can reach the
        // control before the move does: the move is taken first.
        if (!Fl::event_inside(this))
            Base::handle(FL_DRAG);
        break;
    case FL_SHORTCUT:
        if (!this->test_shortcut())
            return 0;
        FocusControl(this);
        ClickButton(this);
        return 1;
    case FL_KEYBOARD: {
        int key = Fl::event_key();
        if (IsArrow(key)) {
            if (kKind == ButtonKind::Radio)
                ArrowFromRadio(this, key);
            return 1;
        }
        if (key == FL_Enter || key == FL_KP_Enter) {
            if (kKind == ButtonKind::Default)
                ClickButton(this);
            return 1;
        }
        break;
    }
    default:
        break;
    }
    return Base::handle(event);
}

template <class Base, ButtonKind kKind> void DialogButton<Base, kKind>::draw() {
    Base::draw();
    if (kKind == ButtonKind::Default) {
        // The window system's dark outline of the default push button.
        fl_color(FL_BLACK);
        fl_rect(this->x(), this->y(), this->w(), this->h());
    }
}

template class DialogButton<Fl_Button, ButtonKind::Push>;
template class DialogButton<Fl_Button, ButtonKind::Default>;
template class DialogButton<Fl_Round_Button, ButtonKind::Radio>;
template class DialogButton<Fl_Check_Button, ButtonKind::Check>;

// ---- The spin control ------------------------------------------------------------------------

int SpinArrow::handle(int event) {
    if (event == FL_PUSH) {
        if (Fl::event_button() != FL_LEFT_MOUSE)
            return 0;
        FocusControl(field_);
    }
    return Fl_Repeat_Button::handle(event);
}

FrameSpin::FrameSpin(int x, int y, int w, int h, Fl_Input* field) : field_(field) {
    up = new SpinArrow(x, y, w, h / 2, "@-18>", field);
    down = new SpinArrow(x, y + h / 2, w, h - h / 2, "@-12>", field);
    for (SpinArrow* b : {up, down}) {
        b->clear_visible_focus();
        b->labelsize(DialogFontSize() * 2 / 3);
        b->callback(
            [](Fl_Widget* arrow, void* spin) {
                FrameSpin* s = static_cast<FrameSpin*>(spin);
                s->Step(arrow == s->up ? +1 : -1);
            },
            this);
    }
}

void FrameSpin::SetRange(int lower, int upper) {
    lower_ = lower;
    upper_ = upper;
    if (pos_ < lower)
        pos_ = lower;
    if (pos_ > upper)
        pos_ = upper;
}

void FrameSpin::Step(int delta) {
    const char* shown = field_->value();
    char* end = nullptr;
    long value = std::strtol(shown, &end, 10);
    if (end != shown && *end == '\0' && value >= -100000 && value <= 100000)
        pos_ = static_cast<int>(value);
    int next = pos_ + delta;
    if (next > upper_)
        next = upper_;
    if (next < lower_)
        next = lower_;
    pos_ = next;
    char text[16];
    std::snprintf(text, sizeof(text), "%d", next);
    if (std::strcmp(text, shown) != 0) {
        field_->value(text);
        ReportCommand(IDC_FRAMES, QV_EN_CHANGE);
    }
}
