// The main window's controls other than the cartridge list (cart_list.h), each behaving as its
// counterpart in the Win32 build's dialog does (measured under Wine, see controls.cpp).
#pragma once

#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Repeat_Button.H>
#include <FL/Fl_Round_Button.H>

// An edit field: reports text changes (through its callback) and focus changes, takes no more
// text than it shows, and handles the keys and clicks as the one-line edit control does.
class EditField : public Fl_Input {
  public:
    EditField(int x, int y, int w, int h) : Fl_Input(x, y, w, h) {}
    int handle(int event) override;
    // Whether text shows whole in the field: typing stops short of a text that does not.
    bool Fits(const char* text) const;

  private:
    int CharBefore(int p) const;
    int CharAfter(int p) const;
    int TextRoom() const;
    int InsertFitting();
};

// Sets an edit field's text as the form does (the caret goes to the start).
void SetFieldText(Fl_Input* field, const char* text);

// A group box: an etched frame with its caption on the top edge.
class GroupBox : public Fl_Group {
  public:
    GroupBox(int x, int y, int w, int h, const char* label);
    void draw() override;
};

enum class ButtonKind { Push, Default, Radio, Check };

// A push button, the default push button, a radio button or a check box.
template <class Base, ButtonKind kKind> class DialogButton : public Base {
  public:
    DialogButton(int x, int y, int w, int h, const char* label) : Base(x, y, w, h, label) {}
    int handle(int event) override;
    void draw() override;
};

using PushButton = DialogButton<Fl_Button, ButtonKind::Push>;
using DefaultButton = DialogButton<Fl_Button, ButtonKind::Default>;
using RadioButton = DialogButton<Fl_Round_Button, ButtonKind::Radio>;
using CheckButton = DialogButton<Fl_Check_Button, ButtonKind::Check>;

// A spin control arrow beside the frame value field.
class SpinArrow : public Fl_Repeat_Button {
  public:
    SpinArrow(int x, int y, int w, int h, const char* label, Fl_Widget* field)
        : Fl_Repeat_Button(x, y, w, h, label), field_(field) {}
    int handle(int event) override;

  private:
    Fl_Widget* field_;
};

// The spin control: two arrows (not tab stops) over the area x, y, w, h beside the frame value
// field. Each press steps the field's number within the range and reports the change as the
// field's own (IDC_FRAMES, EN_CHANGE); text that is no number steps from the last position.
class FrameSpin {
  public:
    FrameSpin(int x, int y, int w, int h, Fl_Input* field);
    void SetRange(int lower, int upper);

    SpinArrow* up;
    SpinArrow* down;

  private:
    void Step(int delta);

    Fl_Input* field_;
    int lower_ = 1;
    int upper_ = 9;
    int pos_ = 1;
};
