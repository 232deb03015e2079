// The initialization-file format read from a file's bytes: its sections and their entries, as
// the platform's profile functions see them (the rules are listed at the top of
// profile_store.cpp). Owns the look-ups: the first name asked for in a version of a file is
// found by a scan of the header lines, a second one from an index of all names built then.
// Promises: a Parsed never changes its text once made; offsets are 32-bit, so a text must stay
// below 4 GiB. Nothing here takes a lock: the launcher starts no thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/posix/ini/text.h"
#include "platform/posix/ini/utf16.h"

namespace ini {

// A section as offsets into the file's bytes.
struct Section {
    uint32_t nameBegin, nameLen; // the name between the brackets, without its blanks
    uint32_t headBegin;          // start of the header line (== bodyBegin for the unnamed one)
    uint32_t bodyBegin, bodyEnd; // the lines after the header, up to the next header
};

// A file's bytes and what is known of their sections. Sections are found lazily: the first
// look-up scans the headers for its name and remembers the answer, so the reads of one load
// scan once; a look-up of another name builds the index of all names. The bytes never change
// once read; only the look-up state does.
struct Parsed {
    std::unique_ptr<char[]> bytes;
    string text;      // a UTF-16 file's text (then bytes is empty)
    string_view data; // the file's text: its bytes, or text
    TextForm form = TextForm::Bytes;
    size_t bom = 0; // 3 when an 8-bit file starts with a UTF-8 byte-order mark

    bool scanned = false; // a name was looked up by a scan: the three fields below hold it
    string scannedName;
    bool scannedFound = false;
    Section scannedSection{};
    bool indexed = false;
    std::vector<Section> sections; // once indexed: in file order, [0] the unnamed leading one
    std::vector<uint32_t> slots;   // once indexed: hash table of section index + 1, 0 when free
};

// The parsed form of a file's bytes (size of them; none for a missing file). A UTF-16 file is
// held as its text in UTF-8.
std::shared_ptr<Parsed> MakeParsed(std::unique_ptr<char[]> bytes, size_t size);

// The bytes a file of p's form holds for text.
string InForm(const Parsed& p, string text);

// The first section whose name equals name (folded); false when there is none.
bool FindSection(Parsed& p, string_view name, Section* s);

struct Entry {
    string_view key;
    bool hasValue = false;
    string_view value;
    size_t eqPos = 0; // offset of '=' in the file when hasValue
};

// The first entry line of key in section s; false when there is none.
bool FindEntry(const Parsed& p, const Section& s, string_view key, Line* line, Entry* entry);

} // namespace ini
