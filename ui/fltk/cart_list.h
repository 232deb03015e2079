// The cartridge list: a single-selection list that behaves and reports as the Win32 build's
// list box does (see cart_list.cpp).
#pragma once

#include "ui/fltk/name_list.h"

#include <string>
#include <vector>

class CartList : public NameList {
  public:
    CartList(int x, int y, int w, int h);
    int handle(int event) override;

    // Where the items are drawn (window coordinates) and the height of one item.
    void ItemArea(int* x, int* y, int* w, int* h, int* itemHeight) const;

    // Fills the list with names again, with line (1-based; 0: none) selected and the focus
    // item, else the first item the focus item. The view keeps its place as far as the new
    // list allows and shows the selection. Reports nothing.
    void Refill(const std::vector<std::string>& names, int line);

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
