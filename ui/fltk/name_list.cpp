// FLTK's browser would draw a tab as the start of the next column or as blanks up to the next
// tab stop, a line break as a second line over the item below, and a leading "@" as a
// formatting code. Here a name is drawn on one row as it is, tabs and line breaks as the
// "^I" and "^J" FLTK already shows for every other control character (OneRowText).
#include "ui/fltk/name_list.h"

#include <FL/fl_draw.H>

#include "ui/fltk/plain_text.h"

#include <string>

NameList::NameList(int x, int y, int w, int h) : Fl_Hold_Browser(x, y, w, h) {
    format_char(0);
}

void NameList::item_draw(void* item, int x, int y, int w, int h) const {
    std::string row = OneRowText(item_text(item));
    Fl_Color color = textcolor();
    if (item_selected(item))
        color = fl_contrast(color, selection_color());
    if (!active_r())
        color = fl_inactive(color);
    fl_font(textfont(), textsize());
    fl_color(color);
    // The last argument turns FLTK's "@" symbols off.
    fl_draw(row.c_str(), x + 3, y, w - 6, h, FL_ALIGN_LEFT, nullptr, 0);
}
