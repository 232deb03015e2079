// A list of file names, each drawn on its own row as the Win32 list box draws it: no
// formatting codes, no columns at tabs, no second line at a line break.
#pragma once

#include <FL/Fl_Hold_Browser.H>

class NameList : public Fl_Hold_Browser {
  public:
    NameList(int x, int y, int w, int h);

  protected:
    void item_draw(void* item, int x, int y, int w, int h) const override;
};
