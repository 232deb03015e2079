// Cartridge files in the cartridge directory, and titles built from their ROM headers.
#pragma once
#include <string>
#include <vector>

#include "core/cart_patterns.h"

// Byte offset and length of the ROM header's overseas name field, and the line read's capacity.
constexpr long kHeaderNameOffset = 336;
constexpr int kHeaderReadCap = 48;

// The cartridge file names of cartDir, in list order.
void ListCartFiles(const char* cartDir, std::vector<std::string>* names);

// The cartridge directory listed again, for a rescan (F5): ListCartFiles on g_paths.CartDir,
// the text start-up listed. Returns the index of keep (the name selected before, matched
// exactly) in the new list, or -1 when keep is null or no longer listed.
int RelistCartFiles(const char* keep, std::vector<std::string>* names);

// Builds the title from the header text (bytes beyond the 254th are ignored, so the title
// always fits). title must hold 256 bytes.
void BuildCartTitle(const char* headerText, char* title);

// Reads the header name of romName (looked up in the cartridge directory, which it makes the
// current directory) and writes its title into title (256 bytes). Returns 1 when the file was
// opened and a title written, 0 when it cannot be opened (title untouched).
int ReadCartTitle(const char* romName, char* title);
