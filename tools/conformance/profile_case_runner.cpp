// Runs settings-file cases over ProfileStore and prints what every read answered, so that the
// native build and the Windows build can be compared case by case.
//
// A case file holds one record per line, fields separated by one TAB; lines starting with '#'
// and empty lines are skipped. In every field \\, \t, \r, \n, \0 and \xHH are escapes.
//   file     bytes                              the settings file's content (written at once)
//   file16   form text                          the same, text (UTF-8) written as UTF-16; form is
//                                               le or be, with a byte-order mark, or le-nobom or
//                                               be-nobom without one
//   dump                                        print the settings file's bytes
//   read     section key default capacity      read a string
//   readint  section key default               read an integer
//   write    section key value                 write a string
//   delete   section                           delete a section
//   readonly                                   make the settings file read-only
//   save     section key value                 write a string; print 1 when it reports success
//   remove   section                           delete a section as the launcher does; print 1
//                                              when it reports success
// Records run in order on one settings file in a fresh temporary directory. For each case the
// runner prints "== name", then "<line>\t<result>" for every read and dump (strings escaped as
// above). A dump of a file starting with a UTF-16 byte-order mark prints "UTF-16LE " or
// "UTF-16BE " and then the 16-bit units, ASCII as characters and the others as \uXXXX (an odd
// last byte as " +\xHH"); any other file as its bytes; "(no file)" when there is none.
// In a file16 text, a surrogate written as three UTF-8-style bytes (\xED\xB3\xA9 for
// U+DCE9) becomes that lone 16-bit unit.
#include "platform/profile_store.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#else
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

using std::string;

// Decodes the escapes of one field; false on a malformed escape.
bool Unescape(const string& in, string* out) {
    out->clear();
    for (size_t i = 0; i < in.size(); ++i) {
        char c = in[i];
        if (c != '\\') {
            *out += c;
            continue;
        }
        if (++i >= in.size())
            return false;
        switch (in[i]) {
        case '\\':
            *out += '\\';
            break;
        case 't':
            *out += '\t';
            break;
        case 'r':
            *out += '\r';
            break;
        case 'n':
            *out += '\n';
            break;
        case '0':
            *out += '\0';
            break;
        case 'x': {
            if (i + 2 >= in.size())
                return false;
            char hex[3] = {in[i + 1], in[i + 2], 0};
            char* end = nullptr;
            long v = strtol(hex, &end, 16);
            if (end != hex + 2)
                return false;
            *out += static_cast<char>(v);
            i += 2;
            break;
        }
        default:
            return false;
        }
    }
    return true;
}

void EscapeUnit(unsigned c, string* r) {
    if (c == '\\')
        *r += "\\\\";
    else if (c == '\t')
        *r += "\\t";
    else if (c == '\r')
        *r += "\\r";
    else if (c == '\n')
        *r += "\\n";
    else if (c >= 0x20 && c < 0x7f)
        *r += static_cast<char>(c);
    else {
        char hex[8];
        snprintf(hex, sizeof hex, c > 0xff ? "\\u%04X" : "\\x%02X", c);
        *r += hex;
    }
}

string EscapeBytes(const string& s) {
    string r;
    for (unsigned char c : s)
        EscapeUnit(c, &r);
    return r;
}

// A file's bytes as a dump prints them.
string Dumped(const string& bytes) {
    bool le = bytes.compare(0, 2, "\xFF\xFE") == 0, be = bytes.compare(0, 2, "\xFE\xFF") == 0;
    if (!le && !be)
        return EscapeBytes(bytes);
    string r = le ? "UTF-16LE " : "UTF-16BE ";
    size_t i = 2;
    for (; i + 1 < bytes.size(); i += 2) {
        unsigned lo = static_cast<unsigned char>(bytes[le ? i : i + 1]);
        unsigned hi = static_cast<unsigned char>(bytes[le ? i + 1 : i]);
        unsigned unit = hi << 8 | lo;
        if (unit < 0x80) {
            EscapeUnit(unit, &r);
        } else {
            char hex[8];
            snprintf(hex, sizeof hex, "\\u%04X", unit);
            r += hex;
        }
    }
    if (i < bytes.size())
        r += " +" + EscapeBytes(bytes.substr(i));
    return r;
}

// UTF-8 text as UTF-16 code units (three-byte forms of surrogates give lone units); false when
// the text is not such UTF-8.
bool Utf16Units(const string& text, std::vector<unsigned>* units) {
    for (size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        int more = c < 0x80             ? 0
                   : (c & 0xE0) == 0xC0 ? 1
                   : (c & 0xF0) == 0xE0 ? 2
                   : (c & 0xF8) == 0xF0 ? 3
                                        : -1;
        if (more < 0 || i + static_cast<size_t>(more) >= text.size())
            return false;
        unsigned cp = more == 0 ? c : c & (0x3F >> more);
        for (int k = 1; k <= more; ++k) {
            unsigned char t = static_cast<unsigned char>(text[i + static_cast<size_t>(k)]);
            if ((t & 0xC0) != 0x80)
                return false;
            cp = cp << 6 | (t & 0x3F);
        }
        i += static_cast<size_t>(more) + 1;
        if (cp >= 0x10000) {
            units->push_back(0xD800 + ((cp - 0x10000) >> 10));
            units->push_back(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            units->push_back(cp);
        }
    }
    return true;
}

// The file16 record's bytes; false on an unknown form or text that is not UTF-8.
bool Utf16File(const string& form, const string& text, string* out) {
    bool le = form == "le" || form == "le-nobom", be = form == "be" || form == "be-nobom";
    std::vector<unsigned> units;
    if ((!le && !be) || !Utf16Units(text, &units))
        return false;
    if (form.size() == 2)
        units.insert(units.begin(), 0xFEFF);
    out->clear();
    for (unsigned u : units) {
        char lo = static_cast<char>(u & 0xFF), hi = static_cast<char>(u >> 8);
        *out += le ? lo : hi;
        *out += le ? hi : lo;
    }
    return true;
}

string Escape(const char* s) {
    return EscapeBytes(s);
}

std::vector<string> SplitTabs(const string& line) {
    std::vector<string> f;
    size_t start = 0;
    for (;;) {
        size_t tab = line.find('\t', start);
        f.push_back(line.substr(start, tab == string::npos ? string::npos : tab - start));
        if (tab == string::npos)
            return f;
        start = tab + 1;
    }
}

bool ReadText(const char* path, string* out) {
    FILE* f = fopen(path, "rb");
    if (!f)
        return false;
    out->clear();
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0)
        out->append(buf, n);
    fclose(f);
    return true;
}

bool WriteBytes(const string& path, const string& bytes) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return fclose(f) == 0 && ok;
}

#ifdef _WIN32
string MakeCaseDir() {
    static int counter = 0;
    char tmp[MAX_PATH];
    DWORD n = GetTempPathA(sizeof tmp, tmp);
    if (n == 0 || n >= sizeof tmp)
        return "";
    for (;;) {
        string dir = string(tmp) + "qvcase-" + std::to_string(GetCurrentProcessId()) + "-" +
                     std::to_string(counter++);
        if (CreateDirectoryA(dir.c_str(), nullptr))
            return dir + "\\";
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            return "";
    }
}

void RemoveCaseDir(const string& dir) {
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            if (strcmp(fd.cFileName, ".") && strcmp(fd.cFileName, "..")) {
                SetFileAttributesA((dir + fd.cFileName).c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA((dir + fd.cFileName).c_str());
            }
        } while (FindNextFileA(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryA(dir.c_str());
}
#else
string MakeCaseDir() {
    const char* t = getenv("TMPDIR");
    string templ = string(t && *t ? t : "/tmp") + "/qvcase-XXXXXX";
    std::vector<char> buf(templ.begin(), templ.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data()))
        return "";
    return string(buf.data()) + "/";
}

void RemoveCaseDir(const string& dir) {
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) {
            if (strcmp(e->d_name, ".") && strcmp(e->d_name, ".."))
                unlink((dir + e->d_name).c_str());
        }
        closedir(d);
    }
    rmdir(dir.c_str());
}
#endif

const char* BaseName(const char* path) {
    const char* b = path;
    for (const char* p = path; *p; ++p) {
        if (*p == '/' || *p == '\\')
            b = p + 1;
    }
    return b;
}

// Runs one case; false when the case file is malformed (reported on stderr).
bool RunCase(const char* casePath) {
    string text;
    printf("== %s\n", BaseName(casePath));
    if (!ReadText(casePath, &text)) {
        fprintf(stderr, "%s: cannot read\n", casePath);
        return false;
    }
    string dir = MakeCaseDir();
    if (dir.empty()) {
        fprintf(stderr, "%s: cannot make a temporary directory\n", casePath);
        return false;
    }
    string ini = dir + "Quorvalis.ini";
    bool ok = true;
    size_t pos = 0;
    int lineNo = 0;
    while (pos < text.size() && ok) {
        size_t nl = text.find('\n', pos);
        string line = text.substr(pos, nl == string::npos ? string::npos : nl - pos);
        pos = nl == string::npos ? text.size() : nl + 1;
        ++lineNo;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        std::vector<string> raw = SplitTabs(line);
        std::vector<string> f(raw.size());
        for (size_t i = 0; i < raw.size() && ok; ++i)
            ok = Unescape(raw[i], &f[i]);
        const string& op = f[0];
        size_t want = op == "file"       ? 2
                      : op == "file16"   ? 3
                      : op == "dump"     ? 1
                      : op == "read"     ? 5
                      : op == "readint"  ? 4
                      : op == "write"    ? 4
                      : op == "delete"   ? 2
                      : op == "readonly" ? 1
                      : op == "save"     ? 4
                      : op == "remove"   ? 2
                                         : 0;
        if (!ok || want == 0 || f.size() != want) {
            fprintf(stderr, "%s:%d: malformed record\n", casePath, lineNo);
            ok = false;
            break;
        }
        if (op == "file") {
            ok = WriteBytes(ini, f[1]);
        } else if (op == "file16") {
            string bytes;
            ok = Utf16File(f[1], f[2], &bytes) && WriteBytes(ini, bytes);
            if (!ok) {
                fprintf(stderr, "%s:%d: bad file16 record\n", casePath, lineNo);
                break;
            }
        } else if (op == "dump") {
            string bytes;
            printf("%d\t%s\n", lineNo,
                   ReadText(ini.c_str(), &bytes) ? Dumped(bytes).c_str() : "(no file)");
        } else if (op == "read") {
            int cap = atoi(f[4].c_str());
            if (cap < 1 || cap > 1 << 20) {
                fprintf(stderr, "%s:%d: bad capacity\n", casePath, lineNo);
                ok = false;
                break;
            }
            std::vector<char> buf(static_cast<size_t>(cap) + 16, '\x7f');
            ProfileReadString(f[1].c_str(), f[2].c_str(), f[3].c_str(), buf.data(), cap,
                              ini.c_str());
            // The result must end within the capacity and nothing beyond it may be touched.
            bool terminated = memchr(buf.data(), 0, static_cast<size_t>(cap)) != nullptr;
            bool untouched = true;
            for (size_t i = static_cast<size_t>(cap); i < buf.size(); ++i)
                untouched = untouched && buf[i] == '\x7f';
            if (!terminated || !untouched)
                printf("%d\tOVERRUN\n", lineNo);
            else
                printf("%d\t%s\n", lineNo, Escape(buf.data()).c_str());
        } else if (op == "readint") {
            int def = atoi(f[3].c_str());
            printf("%d\t%d\n", lineNo,
                   ProfileReadInt(f[1].c_str(), f[2].c_str(), def, ini.c_str()));
        } else if (op == "write") {
            ProfileWriteString(f[1].c_str(), f[2].c_str(), f[3].c_str(), ini.c_str());
        } else if (op == "readonly") {
#ifdef _WIN32
            ok = SetFileAttributesA(ini.c_str(), FILE_ATTRIBUTE_READONLY) != FALSE;
#else
            ok = chmod(ini.c_str(), 0444) == 0;
#endif
        } else if (op == "save") {
            printf("%d\t%d\n", lineNo,
                   ProfileWriteString(f[1].c_str(), f[2].c_str(), f[3].c_str(), ini.c_str()) ? 1
                                                                                             : 0);
        } else if (op == "remove") {
            printf("%d\t%d\n", lineNo, ProfileDeleteSection(f[1].c_str(), ini.c_str()) ? 1 : 0);
        } else {
#ifdef _WIN32
            // The platform's own delete: the launcher's wrapper drops the blanks around the
            // name first, which the platform does not, and the corpus records the platform.
            WritePrivateProfileSectionA(f[1].c_str(), nullptr, ini.c_str());
#else
            ProfileDeleteSection(f[1].c_str(), ini.c_str());
#endif
        }
    }
    RemoveCaseDir(dir);
    return ok;
}

} // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY); // LF line ends, as the native runner prints them
#endif
    if (argc < 2) {
        fprintf(stderr, "usage: profile_case_runner CASE-FILE...\n");
        return 2;
    }
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        if (!RunCase(argv[i]))
            status = 1;
        fflush(stdout);
    }
    return status;
}
