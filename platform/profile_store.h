// The four settings-file operations. Every access to the settings file goes through them.
// On Win32 they are the private-profile functions; on POSIX a reader and writer of the
// same initialization-file format. An empty iniPath names no settings file (the launcher's
// directory left no room for its name): reads give their defaults, writes and deletes change
// nothing and fail with NotWritten.
#pragma once

// The bytes the settings file does not count around a section or key name: for reads, writes
// and deletes alike, " a" and "a" name the same section.
inline bool IsProfileBlank(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f' || c == 0x1a;
}

// Copies the value of key into buf (at most cap - 1 characters, always NUL-terminated when
// cap > 0). When the file, the section or the key is missing, copies def instead.
void ProfileReadString(const char* section, const char* key, const char* def, char* buf, int cap,
                       const char* iniPath);

// The decimal value of the key, or def when the file, the section or the key is missing.
int ProfileReadInt(const char* section, const char* key, int def, const char* iniPath);

// Why a write or a delete did not reach the settings file.
enum class ProfileFailure {
    None,          // it did (or the file already said so)
    NotWritten,    // the file or its directory cannot be written, or the file is read-only
    Busy,          // another program kept the file's lock for longer than a save waits, or has a
                   // lock file this one cannot open (native)
    NameNotKept,   // a name or a value holds a line break, which the file cannot carry (native)
    PartlyWritten, // a write in place failed after the file began to change: the file may hold
                   // part of it (native: a file with a second name, or one whose directory
                   // refuses its replacement)
};

// Creates the file and the section when missing, creates or replaces the key.
// Returns false when the change did not reach the file: the file or its directory cannot be
// written, the file is read-only, or (native store) a name holds a line break, which the file
// could not carry, or (native store) another program kept the file's lock too long. The file
// is then as it was, but after PartlyWritten. A write to a file that already reads as asked (the
// values as the reads give them) succeeds, even on a read-only file.
// Callers may ignore it. ProfileWriteStrings writes several keys of one section in the given
// order; on POSIX the whole group is committed to disk in one replacement of the file, so it
// lands all-or-nothing (but where it is written in place). When it returns false and why is
// given, *why says why.
struct ProfileEntry {
    const char* key;
    const char* value;
};
bool ProfileWriteStrings(const char* section, const ProfileEntry* entries, int count,
                         const char* iniPath, ProfileFailure* why = nullptr);
inline bool ProfileWriteString(const char* section, const char* key, const char* value,
                               const char* iniPath) {
    ProfileEntry e{key, value};
    return ProfileWriteStrings(section, &e, 1, iniPath);
}

// Removes the section with all its keys. Deleting a missing section changes nothing. Blanks
// around the name do not count, as for reads and writes. Failures as for writes.
bool ProfileDeleteSection(const char* section, const char* iniPath, ProfileFailure* why = nullptr);
