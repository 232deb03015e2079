// The cartridge list's order, as the Win32 build's sorted list box gives it.
//
// What the list box does, measured on the Win32 build under Wine (qv_probe's "list" and "cmp"
// commands, tests/frontend/measure_list_order.py) rather than assumed:
//
// - It compares names with the system's word sort, without regard to case. Every character
//   has a primary weight, and names are first ordered by those alone: punctuation and symbols
//   come first, in an order of their own (blank, ! " # $ % & ( ) * , . / : ; ? @ [ \ ] ^ _ `
//   { | } ~, then + < = >), then digits, then letters. So "_a" and "(a)" sort before "1a",
//   "10a" before "1a", and "a.b" before "a_b" before "a1".
// - Accented letters weigh as their base letter (e, é, è, ê and ë all weigh as e); æ, œ, ß and
//   þ weigh as the two letters ae, oe, ss and th.
// - The hyphen and the apostrophe (also the en and em dashes and most control characters) have
//   no primary weight: "a-b" sorts among the "ab" names, and "-ab" does not come first.
// - Names equal in primary weights are then ordered by their accents, position by position
//   (the plain letter first), then by superscript digits, and last by their hyphens and
//   apostrophes: none first, then the one whose first mark stands further right, then the
//   apostrophe before the hyphen ("ab" < "ab'" < "ab-" < "a'b" < "a-b" < "a--b" < "-ab").
// - Names that differ only in case compare equal; the list box then keeps them in the order
//   the directory listing gave them, which a file system does not fix. Here they are ordered by
//   their bytes.
// - The listing request (LB_DIR) puts every name that starts with "[" after all others (it
//   takes them for directories), and names starting with "[-" (drives) after those, ordered by
//   their third character alone.
//
// The weights of all characters a Win32 name can hold (the Windows-1252 repertoire) are in
// list_order_table.inc, generated from the measurement; 150,000 random pairs of names made of
// them compared the same way here as on Wine. Other characters sort after all letters, by code
// point, and combining accents after the accented letters: an approximation.
#include "platform/posix/list_order.h"

#include <array>
#include <cstdint>

namespace {

struct ListOrderChar {
    uint16_t codePoint;
    uint8_t primary;  // 0: no primary weight
    uint8_t primary2; // a second letter's weight (æ as ae), or 0
    uint8_t accent;   // rank among the class's accents, 0 for the plain letter
    uint8_t later;    // rank at the level after the accents (superscript digits)
    uint8_t special;  // nonzero: compared last, by position (hyphen, apostrophe)
};

#include "platform/posix/list_order_table.inc"

// The level separator: lower than any weight, so a key that ends a level first sorts first.
constexpr char kLevelEnd = 1;
constexpr uint8_t kPlain = 2; // accent and later-level byte of a character without one
// Characters outside the table: one primary entry of four bytes, after every table weight.
constexpr uint8_t kUnknownPrimary = 0xFE;

constexpr std::array<ListOrderChar, 256> MakeLatin1() {
    std::array<ListOrderChar, 256> t{}; // absent: no weight at all (ignored)
    for (const ListOrderChar& c : kListOrderChars)
        if (c.codePoint < 256)
            t[c.codePoint] = c;
    return t;
}
constexpr std::array<ListOrderChar, 256> kLatin1 = MakeLatin1();

const ListOrderChar* FindWeights(uint32_t cp) {
    if (cp < 256)
        return &kLatin1[cp];
    for (const ListOrderChar& c : kListOrderChars)
        if (c.codePoint == cp)
            return &c;
    return nullptr;
}

// The next code point of UTF-8 text at *pos, or -1 for a byte that starts no valid sequence
// (which is then skipped on its own).
int32_t NextCodePoint(std::string_view s, size_t* pos) {
    unsigned char b = static_cast<unsigned char>(s[*pos]);
    ++*pos;
    if (b < 0x80)
        return b;
    int extra = b >= 0xF0 && b <= 0xF4 ? 3 : b >= 0xE0 ? 2 : b >= 0xC2 && b < 0xE0 ? 1 : -1;
    if (extra < 0 || *pos + extra > s.size())
        return -1;
    uint32_t cp = b & (0x3F >> extra);
    for (int i = 0; i < extra; ++i) {
        unsigned char c = static_cast<unsigned char>(s[*pos + i]);
        if ((c & 0xC0) != 0x80)
            return -1;
        cp = (cp << 6) | (c & 0x3F);
    }
    bool overlong = (extra == 2 && cp < 0x800) || (extra == 3 && cp < 0x10000);
    if (overlong || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return -1;
    *pos += extra;
    return static_cast<int32_t>(cp);
}

struct KeyLevels {
    std::string primary, accent, later, special;
    int components = 0; // primary entries so far: the position a special character records
};

void AddComponent(KeyLevels* k, uint8_t accent, uint8_t later) {
    k->accent.push_back(static_cast<char>(kPlain + accent));
    k->later.push_back(static_cast<char>(kPlain + later));
    ++k->components;
}

void AddCharacter(KeyLevels* k, uint32_t cp) {
    if (cp >= 0x300 && cp <= 0x36F) {
        // A combining accent: it changes the accent of the character before it.
        if (!k->accent.empty())
            k->accent.back() = static_cast<char>(0x40 + (cp - 0x300));
        return;
    }
    const ListOrderChar* w = FindWeights(cp);
    if (!w) {
        k->primary.push_back(static_cast<char>(kUnknownPrimary));
        k->primary.push_back(static_cast<char>(cp >> 16));
        k->primary.push_back(static_cast<char>(cp >> 8));
        k->primary.push_back(static_cast<char>(cp));
        AddComponent(k, 0, 0);
        return;
    }
    if (w->special) {
        // Further right sorts first: the position counts down.
        unsigned pos = 0xFFFFu - static_cast<unsigned>(k->components);
        k->special.push_back(static_cast<char>(pos >> 8));
        k->special.push_back(static_cast<char>(pos & 0xFF));
        k->special.push_back(static_cast<char>(w->special));
        return;
    }
    if (!w->primary)
        return;
    k->primary.push_back(static_cast<char>(w->primary));
    AddComponent(k, w->accent, w->later);
    if (w->primary2) {
        k->primary.push_back(static_cast<char>(w->primary2));
        AddComponent(k, 0, 0);
    }
}

// A level's trailing plain entries do not count: "e" and "e" plus nothing compare equal.
void TrimPlain(std::string* level) {
    while (!level->empty() && static_cast<uint8_t>(level->back()) == kPlain)
        level->pop_back();
}

} // namespace

static_assert(kListOrderTopWeight < kUnknownPrimary, "table weights must stay below unknowns");

void AppendListOrderKey(std::string_view name, std::string* key) {
    // The levels' buffers are kept from one name to the next: a listing builds thousands.
    static KeyLevels k;
    k.primary.clear();
    k.accent.clear();
    k.later.clear();
    k.special.clear();
    k.components = 0;
    size_t pos = 0;
    while (pos < name.size()) {
        int32_t cp = NextCodePoint(name, &pos);
        if (cp >= 0)
            AddCharacter(&k, static_cast<uint32_t>(cp));
    }
    TrimPlain(&k.accent);
    TrimPlain(&k.later);
    key->append(k.primary);
    key->push_back(kLevelEnd);
    key->append(k.accent);
    key->push_back(kLevelEnd);
    key->append(k.later);
    key->push_back(kLevelEnd);
    key->append(k.special);
}

int ListOrderGroup(std::string_view name) {
    if (name.empty() || name[0] != '[')
        return 0;
    return name.size() > 1 && name[1] == '-' ? 2 : 1;
}

unsigned ListDriveOrder(std::string_view name) {
    size_t pos = 2;
    int32_t cp = pos < name.size() ? NextCodePoint(name, &pos) : 0;
    return cp > 0 ? static_cast<unsigned>(cp) : 0;
}
