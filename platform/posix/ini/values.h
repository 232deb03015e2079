// Values as the read functions hand them out: truncated to the caller's buffer, without a pair
// of enclosing quotes, the default without trailing spaces, integers as the platform reads
// them. Promises: never more than cap bytes written, the result always terminated (cap > 0).
#pragma once

#include <string_view>

namespace ini {

// A value as the read functions hand it out: up to its first NUL, and without a pair of
// enclosing quotes. Like the Win32 functions, a quoted value truncated by the capacity loses
// its last character as if it were the closing quote. cap > 0.
void CopyValue(std::string_view value, char* buf, int cap);

// Whether a stored value reads as text: as CopyValue hands it out given room for all of it.
bool ReadsAs(std::string_view value, std::string_view text);

// The default as the read functions use it: without trailing spaces (a lone first one stays).
std::string_view DefaultText(const char* def);

// Integer reading as the Win32 function does it: leading control characters and blanks
// skipped, one sign, then digits, base 10 unless the digits start with "0x" (16), "0o" (8)
// or "0b" (2); anything else ends the number; overflow wraps at 32 bits.
int ParseProfileInt(const char* s);

} // namespace ini
