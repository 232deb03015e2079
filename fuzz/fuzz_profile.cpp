// The settings-file store on arbitrary files: the input's first part becomes the file, the rest
// drives reads, writes, multi-key writes and section deletes with fuzzed names, values and
// buffer capacities. Every read must stay inside its buffer, and whatever a write stores with
// names and a value the file format can carry must read back, from the store's cached copy and
// again after the file has been parsed afresh.
#include <fuzzer/FuzzedDataProvider.h>

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fuzz_util.h"
#include "platform/profile_store.h"

namespace {

constexpr int kBigCap = 8192;

// Set once an input has written a key the file format cannot carry (one that starts with '['
// or holds '='): its line may read back as a section header or as another key, so what the
// file holds from then on is no longer checked against what was written.
bool g_uncarried = false;

// QV_FUZZ_TRACE=1 prints each operation, for working out what a finding did.
const bool g_trace = std::getenv("QV_FUZZ_TRACE") != nullptr;

std::string Shown(const std::string& s) {
    std::string out;
    for (unsigned char c : s) {
        char hex[8];
        if (c >= 32 && c < 127 && c != '\\') {
            out += static_cast<char>(c);
        } else {
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        }
    }
    return out;
}

void Trace(const char* op, const std::string& a, const std::string& b = "",
           const std::string& c = "") {
    if (g_trace)
        std::fprintf(stderr, "%s [%s] %s = %s\n", op, Shown(a).c_str(), Shown(b).c_str(),
                     Shown(c).c_str());
}

// A name or value as the store receives it: C text, so it ends at its first NUL.
std::string Text(FuzzedDataProvider& in, size_t maxLength) {
    return std::string(in.ConsumeRandomLengthString(maxLength).c_str());
}

// Blanks around a name or a value do not count: the file format trims them.
bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == 0x1A;
}

// Text the format carries unchanged: no line breaks, no NULs, no blanks at either end.
bool Carried(const std::string& s, size_t maxLen) {
    if (s.empty() || s.size() > maxLen || s.find_first_of(std::string("\r\n\0", 3)) != s.npos)
        return false;
    return !IsBlank(s.front()) && !IsBlank(s.back());
}

bool PlainSection(const std::string& s) {
    return Carried(s, 200) && s.find_first_of("[]") == std::string::npos;
}

bool PlainKey(const std::string& s) {
    return Carried(s, 200) && s.find_first_of("=[]") == std::string::npos && s[0] != ';' &&
           s[0] != '#';
}

// A value in matching quotes is read without them.
bool PlainValue(const std::string& s) {
    if (s.empty())
        return true;
    if (!Carried(s, 2000))
        return false;
    bool quoteAtEnds = (s.front() == '"' || s.front() == '\'') && s.back() == s.front();
    return !quoteAtEnds;
}

std::string ReadBack(const std::string& section, const std::string& key, const char* path) {
    std::unique_ptr<char[]> buf(new char[kBigCap]);
    ProfileReadString(section.c_str(), key.c_str(), "\x01missing", buf.get(), kBigCap, path);
    return buf.get();
}

// The value must read back from the cache and again once the file is seen as changed.
void CheckStored(const std::string& section, const std::string& key, const std::string& value,
                 const std::string& path) {
    if (g_uncarried)
        return;
    for (int pass = 0; pass < 2; ++pass) {
        std::string got = ReadBack(section, key, path.c_str());
        if (got != value) {
            std::fprintf(stderr, "[%s] %s: wrote \"%s\", read \"%s\" (%s)\nfile:\n",
                         section.c_str(), key.c_str(), value.c_str(), got.c_str(),
                         pass ? "parsed afresh" : "cached");
            std::string cmd = "od -c '" + path + "' >&2";
            if (std::system(cmd.c_str()) != 0)
                std::fprintf(stderr, "(cannot show the file)\n");
            FUZZ_CHECK(got == value);
        }
        TouchNew(path);
    }
}

std::string Trimmed(const std::string& s);

void NoteKey(const std::string& key) {
    std::string k = Trimmed(key);
    if ((!k.empty() && k[0] == '[') || k.find('=') != std::string::npos)
        g_uncarried = true;
}

std::string Trimmed(const std::string& s) {
    const std::string blanks(" \t\r\n\v\f\x1A");
    size_t first = s.find_first_not_of(blanks);
    return first == std::string::npos ? ""
                                      : s.substr(first, s.find_last_not_of(blanks) + 1 - first);
}

// Key names match without regard to case or to blanks around them.
bool SameName(const std::string& x, const std::string& y) {
    std::string a = Trimmed(x), b = Trimmed(y);
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = (a[i] >= 'A' && a[i] <= 'Z') ? static_cast<char>(a[i] + 32) : a[i];
        char y = (b[i] >= 'A' && b[i] <= 'Z') ? static_cast<char>(b[i] + 32) : b[i];
        if (x != y)
            return false;
    }
    return true;
}

void ReadString(FuzzedDataProvider& in, const std::string& path) {
    std::string section = Text(in, 64);
    std::string key = Text(in, 64);
    std::string def = Text(in, 300);
    int cap = in.ConsumeIntegralInRange<int>(0, 300);
    // A buffer of exactly cap bytes, so a write past it is caught.
    std::unique_ptr<char[]> buf(new char[cap > 0 ? cap : 1]);
    std::memset(buf.get(), 0x55, cap > 0 ? cap : 1);
    ProfileReadString(section.c_str(), key.c_str(), def.c_str(), buf.get(), cap, path.c_str());
    if (cap > 0)
        FUZZ_CHECK(strnlen(buf.get(), cap) < static_cast<size_t>(cap));
}

void WriteOne(FuzzedDataProvider& in, const std::string& path) {
    std::string section = Text(in, 64);
    std::string key = Text(in, 64);
    std::string value = Text(in, 400);
    Trace("write", section, key, value);
    NoteKey(key);
    bool written = ProfileWriteString(section.c_str(), key.c_str(), value.c_str(), path.c_str());
    if (written && PlainSection(section) && PlainKey(key) && PlainValue(value))
        CheckStored(section, key, value, path);
}

void WriteGroup(FuzzedDataProvider& in, const std::string& path) {
    std::string section = Text(in, 64);
    int count = in.ConsumeIntegralInRange<int>(0, 6);
    std::vector<std::string> keys, values;
    for (int i = 0; i < count; ++i) {
        keys.push_back(Text(in, 32));
        values.push_back(Text(in, 300));
    }
    std::vector<ProfileEntry> entries;
    for (int i = 0; i < count; ++i) {
        entries.push_back({keys[i].c_str(), values[i].c_str()});
        Trace("group", section, keys[i], values[i]);
        NoteKey(keys[i]);
    }
    bool written = ProfileWriteStrings(section.c_str(), entries.data(), count, path.c_str());
    if (!written || !PlainSection(section))
        return;
    for (int i = 0; i < count; ++i) {
        if (!PlainKey(keys[i]) || !PlainValue(values[i]))
            continue;
        // A key given twice holds its last value.
        bool later = false;
        for (int j = i + 1; j < count; ++j)
            later = later || SameName(keys[i], keys[j]);
        if (!later)
            CheckStored(section, keys[i], values[i], path);
    }
}

void DeleteSection(FuzzedDataProvider& in, const std::string& path) {
    std::string section = Text(in, 64);
    std::string key = Text(in, 32);
    Trace("delete", section);
    bool done = ProfileDeleteSection(section.c_str(), path.c_str());
    if (!done || !PlainSection(section) || !PlainKey(key) || g_uncarried)
        return;
    // A hand-edited file may hold the section more than once; each delete removes one, and
    // repeated deletes leave none.
    for (int round = 0; round < 1000; ++round) {
        if (ReadBack(section, key, path.c_str()) == "\x01missing")
            break;
        FUZZ_CHECK(ProfileDeleteSection(section.c_str(), path.c_str()));
    }
    FUZZ_CHECK(ReadBack(section, key, path.c_str()) == "\x01missing");
    TouchNew(path);
    FUZZ_CHECK(ReadBack(section, key, path.c_str()) == "\x01missing");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string path = ScratchDir() + "Quorvalis.ini";
    g_uncarried = false;
    // Each input starts from a file of its own bytes, or from no file at all.
    if (in.ConsumeBool()) {
        std::string bytes = in.ConsumeRandomLengthString(1 << 16);
        Trace("file", bytes);
        PutFile(path, bytes);
        TouchNew(path);
    } else {
        unlink(path.c_str());
    }
    for (int op = 0; op < 16 && in.remaining_bytes() > 0; ++op) {
        switch (in.ConsumeIntegralInRange<int>(0, 4)) {
        case 0:
            ReadString(in, path);
            break;
        case 1: {
            std::string section = Text(in, 64);
            std::string key = Text(in, 64);
            int def = in.ConsumeIntegral<int>();
            ProfileReadInt(section.c_str(), key.c_str(), def, path.c_str());
            break;
        }
        case 2:
            WriteOne(in, path);
            break;
        case 3:
            WriteGroup(in, path);
            break;
        default:
            DeleteSection(in, path);
            break;
        }
    }
    return 0;
}
