#pragma once

// Opens path as a text stream (carriage returns dropped wherever they stand, the first
// control-Z ends the data), seeks to byte offset of the file and reads one line of at most
// cap - 1 characters into buf: the read stops after cap - 1 characters, after a line feed
// (which stays in the text) or at the end of the data. Returns false when the file cannot be
// opened. When nothing can be read at offset, buf holds the empty text.
bool ReadTextLineAt(const char* path, long offset, char* buf, int cap);

// Opens path for reading without any translation, reads up to size bytes from byte offset on
// into buf and closes it. *got receives the count read (fewer than size at the end of the
// file); when fileSize is not null it receives the file's size in bytes. Returns false, with
// *got 0, when the file cannot be opened or is no file to read (a directory).
bool ReadFileBytes(const char* path, long long offset, unsigned char* buf, int size, int* got,
                   long long* fileSize);
