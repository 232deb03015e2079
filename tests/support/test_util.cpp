#include "support/test_util.h"

#include "core/paths.h"
#include "platform/ascii.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#ifdef _WIN32
#include <process.h>
#define qv_getpid _getpid
#else
#include <unistd.h>
#define qv_getpid getpid
#endif

namespace fs = std::filesystem;

namespace qvtest {

TempDir::TempDir() {
    static std::atomic<int> counter{0};
    auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    for (;;) {
        std::string name = "qv-test-" + std::to_string(qv_getpid()) + "-" +
                           std::to_string(counter++) + "-" + std::to_string(stamp % 100000);
        fs::path p = fs::temp_directory_path() / name;
        std::error_code ec;
        if (fs::create_directory(p, ec)) {
            path = p;
            return;
        }
    }
}

TempDir::~TempDir() {
    std::error_code ec;
    // Make read-only directories left by a test removable again.
    for (auto it = fs::recursive_directory_iterator(path, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::permissions(path, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path, ec);
}

std::string TempDir::dirText() const {
    std::string s = path.string();
#ifdef _WIN32
    if (s.empty() || s.back() != '\\')
        s += '\\';
#else
    if (s.empty() || s.back() != '/')
        s += '/';
#endif
    return s;
}

std::string TempDir::file(const std::string& name) const {
    return (path / name).string();
}

bool WriteFile(const fs::path& p, const std::string& bytes) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return !out.fail();
}

std::string ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    if (!in)
        return {};
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

bool FileExists(const fs::path& p) {
    std::error_code ec;
    return fs::exists(p, ec);
}

std::vector<std::string> LinesOf(const std::string& text) {
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        pos = end + 1;
    }
    return lines;
}

std::set<std::string> NamesIn(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) {
        std::string n = e.path().filename().string();
        bool lockFile = n.size() > 6 && n[0] == '.' && n.compare(n.size() - 5, 5, ".lock") == 0;
        if (!lockFile)
            names.insert(n);
    }
    return names;
}

#ifndef _WIN32
struct stat StatOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
    return st;
}
#endif

CurrentDirGuard::CurrentDirGuard() : saved(fs::current_path()) {}
CurrentDirGuard::~CurrentDirGuard() {
    std::error_code ec;
    fs::current_path(saved, ec);
}

bool SamePath(const fs::path& a, const fs::path& b) {
    std::error_code ec;
    return fs::equivalent(a, b, ec);
}

CartSettings MakeSettings(const char* title, const char* frames, bool noSound, bool z80,
                          Region region) {
    CartSettings s{};
    CopyText(s.title, sizeof s.title, title);
    CopyText(s.frames, sizeof s.frames, frames);
    s.noSound = noSound;
    s.z80 = z80;
    s.region = region;
    return s;
}

namespace {

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    return true;
}

} // namespace

IniSection ReadIniSection(const std::string& path, const std::string& section) {
    IniSection result;
    bool inside = false;
    for (const std::string& line : LinesOf(ReadFile(path))) {
        if (!line.empty() && line[0] == '[') {
            size_t close = line.rfind(']');
            inside = close != std::string::npos && SameName(line.substr(1, close - 1), section);
            result.found = result.found || inside;
            continue;
        }
        size_t eq = line.find('=');
        if (inside && eq != std::string::npos)
            result.entries.emplace_back(line.substr(0, eq), line.substr(eq + 1));
    }
    return result;
}

std::string IniValue(const IniSection& s, const std::string& key, const char* missing) {
    for (const auto& kv : s.entries)
        if (SameName(kv.first, key))
            return kv.second;
    return missing;
}

std::string IniKeys(const IniSection& s) {
    std::string keys;
    for (const auto& kv : s.entries)
        keys += (keys.empty() ? "" : ",") + kv.first;
    return keys;
}

} // namespace qvtest
