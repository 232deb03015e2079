// The cartridge list, with the Win32 build's list box as the model. What that list box does,
// measured under Wine with real X input (tests/frontend, the probe's state after each key):
//
// - A left click gives the list the focus (reported first), then selects the item under the
//   pointer; every click on an item reports a selection change when the button comes up, the
//   already selected item included. A click below the last item only gives the focus: the
//   selection stays. A double-click reports a double-click on its second press (wherever it
//   lands in the list) and no selection change after it.
// - Right and middle clicks do nothing at all: no focus, no selection.
// - Keys: Up and Left move to the item before, Down and Right to the item after, Home and End
//   to the first and last, Page Up and Page Down a page less one item; each move reports a
//   selection change, also when it stays on the first or last item. While nothing is selected
//   any of these keys (and Space) selects the focus item instead, which is the first item
//   until something has been selected: so Down from a list with nothing selected selects the
//   first cartridge, and the only one of a one-cartridge list.
// - A typed character selects the next item after the focus item whose name starts with it
//   (without regard to case), round to the first; typing it again goes on to the one after.
//   The list takes every character, so none reaches a button's mnemonic while it has the
//   focus; Alt with a letter does (the window handles those). Enter and Escape do nothing here.
#include "ui/fltk/cart_list.h"

#include "res/resource.h"
#include "ui/fltk/focus_reports.h"
#include "ui/fltk/report.h"

#include <FL/Fl.H>

#include <cstring>

namespace {

// The first character of UTF-8 text, folded to lower case for the Latin letters (ASCII and
// Latin-1), as the list box compares a typed character with the items' first characters.
unsigned FirstCharFolded(const char* s) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(s);
    unsigned cp = p[0];
    if (cp >= 0xC2 && cp < 0xE0 && (p[1] & 0xC0) == 0x80)
        cp = ((cp & 0x1F) << 6) | (p[1] & 0x3F);
    else if (cp >= 0x80)
        return cp | 0x10000000; // longer sequences: compared by their first byte, unfolded
    if ((cp >= 'A' && cp <= 'Z') || (cp >= 0xC0 && cp <= 0xDE && cp != 0xD7))
        cp += 0x20;
    return cp;
}

// Whether item (the list box also looks past the "[" of a directory entry and the "[-" of
// a drive entry) starts with the folded character c.
bool StartsWith(const char* item, unsigned c) {
    if (!item || !item[0])
        return false;
    if (FirstCharFolded(item) == c)
        return true;
    if (item[0] != '[')
        return false;
    if (item[1] && FirstCharFolded(item + 1) == c)
        return true;
    return item[1] == '-' && item[2] && FirstCharFolded(item + 2) == c;
}

} // namespace

CartList::CartList(int x, int y, int w, int h) : NameList(x, y, w, h) {}

void CartList::ItemArea(int* x, int* y, int* w, int* h, int* itemHeight) const {
    bbox(*x, *y, *w, *h);
    *itemHeight = incr_height();
}

void CartList::Refill(const std::vector<std::string>& names, int line) {
    int pos = position();
    clear();
    for (const std::string& name : names)
        add(name.c_str());
    position(pos);
    caret_ = line > 0 ? line : 1;
    if (line > 0) {
        select(line);
        display(line);
    }
}

int CartList::PageSize() {
    int bx, by, bw, bh;
    bbox(bx, by, bw, bh);
    int line = incr_height();
    int page = line > 0 ? bh / line : 1;
    return page > 0 ? page : 1;
}

void CartList::SelectAndReport(int line) {
    select(line);
    caret_ = line;
    ReportCommand(IDC_CARTLIST, QV_LBN_SELCHANGE);
}

void CartList::TypeAhead(const char* text) {
    unsigned c = FirstCharFolded(text);
    int n = size();
    for (int i = 1; i <= n; ++i) {
        int line = (caret_ - 1 + i) % n + 1;
        if (StartsWith(this->text(line), c)) {
            SelectAndReport(line);
            return;
        }
    }
}

int CartList::HandleKey() {
    if (Fl::event_state() & (FL_ALT | FL_CTRL | FL_META))
        return 0; // Alt+letter: a mnemonic for the window
    int key = Fl::event_key();
    int n = size();
    if (key == FL_Tab || key == FL_Escape)
        return 0;
    if (key == FL_Enter || key == FL_KP_Enter)
        return 1;
    int target = -1;
    switch (key) {
    case FL_Up:
    case FL_Left:
        target = caret_ - 1;
        break;
    case FL_Down:
    case FL_Right:
        target = caret_ + 1;
        break;
    case FL_Home:
        target = 1;
        break;
    case FL_End:
        target = n;
        break;
    case FL_Page_Up:
        target = caret_ - (PageSize() - 1);
        break;
    case FL_Page_Down:
        target = caret_ + (PageSize() - 1);
        break;
    case ' ':
        // Space only selects the focus item while nothing is selected.
        target = value() == 0 ? caret_ : -1;
        break;
    default: {
        const char* text = Fl::event_text();
        if (Fl::event_length() > 0 && static_cast<unsigned char>(text[0]) >= 0x20 &&
            text[0] != 0x7F) {
            if (n > 0)
                TypeAhead(text);
            return 1;
        }
        return 0;
    }
    }
    if (n == 0 || target == -1)
        return 1;
    if (value() == 0)
        target = caret_; // nothing selected: the key selects the focus item
    if (target < 1)
        target = 1;
    if (target > n)
        target = n;
    SelectAndReport(target);
    return 1;
}

int CartList::HandlePush() {
    if (scrollbar.visible() && Fl::event_inside(&scrollbar))
        return Fl_Hold_Browser::handle(FL_PUSH);
    if (Fl::event_button() != FL_LEFT_MOUSE)
        return 1;       // right and middle clicks: nothing
    FocusControl(this); // focus first, then the selection, as the window system reports them
    if (Fl::event_clicks() > 0) {
        // The second press of a double-click; one report per double-click (a third click
        // starts a new count).
        Fl::event_clicks(-1);
        ReportCommand(IDC_CARTLIST, QV_LBN_DBLCLK);
        return 1;
    }
    void* item = find_item(Fl::event_y());
    if (item) {
        select_only(item);
        caret_ = value();
        captured_ = true;
    }
    return 1;
}

int CartList::handle(int event) {
    int handled = 0;
    switch (event) {
    case FL_KEYBOARD:
        handled = HandleKey();
        break;
    case FL_PUSH:
        handled = HandlePush();
        break;
    case FL_DRAG:
        if (captured_) {
            // The selection follows the pointer while the button is down.
            if (void* item = find_item(Fl::event_y()))
                select_only(item);
            caret_ = value() > 0 ? value() : caret_;
            handled = 1;
        } else {
            handled = Fl_Hold_Browser::handle(event);
        }
        break;
    case FL_RELEASE:
        if (captured_) {
            captured_ = false;
            ReportCommand(IDC_CARTLIST, QV_LBN_SELCHANGE);
            handled = 1;
        } else {
            handled = Fl_Hold_Browser::handle(event);
        }
        break;
    default:
        handled = Fl_Hold_Browser::handle(event);
        break;
    }
    NoteFocusEvent(this, event, handled);
    return handled;
}
