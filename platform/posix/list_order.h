// The order of the cartridge list: the order the Win32 build's sorted list box gives the same
// names, so that both builds show one directory alike.
#pragma once

#include <string>
#include <string_view>

// Appends to key the bytes of name's sort key: names in key byte order (std::string's
// operator<) are in the list's order, and two names compare equal in the list when their keys
// are equal. name is UTF-8 as the file system gives it; invalid bytes are ignored.
void AppendListOrderKey(std::string_view name, std::string* key);

// The list box keeps names that start with "[" (which it takes for directory and drive
// entries) after all others; this gives the rank of name's group: 0 for ordinary names, 1 for
// "[...", 2 for "[-...". Within group 2 only the third character counts (ListDriveOrder).
int ListOrderGroup(std::string_view name);
unsigned ListDriveOrder(std::string_view name);
