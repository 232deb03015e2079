// Edits of a settings file's text: the new text a write or a delete gives, changing only the
// lines concerned (a new entry after the last entry of its section, a new section at the end,
// in the line ends the file mostly uses), and the rules for what a write may store at all.
// Promises: the text of a group write is the one its keys written one at a time would give;
// an edit never changes the Parsed it starts from.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/posix/ini/format.h"

namespace ini {

// The value as it is stored: leading blanks dropped, on one line.
string StoredValue(const char* value);

// Whether a section or key name (without its blanks) has no line break in it: one that has
// would be looked up under a name no line of the file can hold, so each write would add another
// section or entry.
bool OnOneLine(string_view name);

// Whether the line "key=value" reads back as that key and value. A key holding '=' would
// split at it, one holding a line break would not be found again; a key starting with '['
// makes a header of the line when a ']' follows anywhere.
bool Carriable(string_view key, string_view value);

// One key of a group write.
struct KeyValue {
    string_view key; // as the caller names it, without blanks at its ends
    string value;    // as it is stored
};

// Sets every key of the group in section in one edit: each existing entry changes in place,
// new entries go after the last entry of the section, a new section at the end of the file.
// False when nothing changes (*out untouched).
bool EditWrite(Parsed& p, string_view section, const std::vector<KeyValue>& group, string* out);

// Removes the first section of that name; false when there is none (or nothing to remove).
bool EditDelete(Parsed& p, string_view section, string* out);

} // namespace ini
