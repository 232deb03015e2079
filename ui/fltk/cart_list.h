// The cartridge list: a single-selection list that behaves and reports as the Win32 build's
// list box does (see cart_list.cpp).
#pragma once

#include "ui/fltk/name_list.h"

class CartList : public NameList {
  public:
    CartList(int x, int y, int w, int h);
    int handle(int event) override;

    // Where the items are drawn (window coordinates) and the height of one item.
    void ItemArea(int* x, int* y, int* w, int* h, int* itemHeight) const;

  private:
    int HandleKey();
    int HandlePush();
    void SelectAndReport(int line);
    void TypeAhead(const char* text);
    int PageSize();

    // The list box's focus item (1-based): where keyboard moves and type-ahead start. It stays
    // on the first item until something is selected.
    int caret_ = 1;
    bool captured_ = false; // a left press on an item, until its release
};
