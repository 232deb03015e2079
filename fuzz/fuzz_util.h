// Shared by the fuzz targets: a scratch directory for the files they write.
#pragma once
#include <string>

// A directory made once per process, ending in '/'. Removed at exit.
const std::string& ScratchDir();

// Replaces the file's contents in place with bytes.
void PutFile(const std::string& path, const std::string& bytes);

// Gives the file a modification time it has not had before, so a cached copy of it is stale.
void TouchNew(const std::string& path);

// Stops the run with a message when a property does not hold.
#define FUZZ_CHECK(cond)                                                                           \
    do {                                                                                           \
        if (!(cond))                                                                               \
            FuzzFail(__FILE__, __LINE__, #cond);                                                   \
    } while (0)
[[noreturn]] void FuzzFail(const char* file, int line, const char* what);
