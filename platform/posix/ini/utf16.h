// UTF-16 settings files.
//
// A file that starts with a UTF-16 byte-order mark, in either byte order, is UTF-16 text (as
// Windows' editor saves it when told "Unicode"); without the mark a file is 8-bit text, even
// one that holds UTF-16. Such a file is turned into the 8-bit text the store works on, in this
// build's encoding (UTF-8, as file names and the window's text are), and written back in the
// form it had, mark and byte order included:
// - each character becomes its UTF-8 bytes, a surrogate pair the one character it stands for;
// - a lone surrogate U+DC80..U+DCFF becomes the single byte 0x80..0xFF, any other lone one the
//   three bytes UTF-8's pattern gives it, so that a write gives back what it did not change;
// - an odd last byte is one more character (the platform reads one there too).
// Written text goes the other way: UTF-8 characters (and the three-byte forms above) become
// their units, every other byte b the lone surrogate U+DC00 + b. So any bytes written read back
// as they were, and the platform reads every character written as UTF-8 in its code page.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ini {

enum class TextForm : uint8_t { Bytes, Utf16Le, Utf16Be };

// The form of a file whose bytes start with raw.
TextForm FormOf(std::string_view raw);

// The text of a UTF-16 file (raw starts with its byte-order mark).
std::string DecodeUtf16(std::string_view raw, bool le);

// Text as a UTF-16 file, byte-order mark first.
std::string EncodeUtf16(std::string_view text, bool le);

} // namespace ini
