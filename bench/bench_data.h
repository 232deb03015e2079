// A large cartridge collection on disk for the benchmarks: N cartridge files with real ROM
// headers and a settings file of N cartridge sections as Save Config writes them.
#pragma once
#include <string>
#include <vector>

struct BenchSet {
    int n = 0;
    std::string root;                // temporary directory holding everything below
    std::string cartDir;             // cartridge directory, ending in '/'
    std::string iniPath;             // settings file with N cartridge sections
    std::vector<std::string> carts;  // cartridge file names, in creation order
    std::vector<std::string> titles; // the Title stored for each cartridge
    long iniSize = 0;                // size of the settings file in bytes
};

// The header name written into cartridge i of a set.
std::string HeaderNameFor(int i);

// Creates the collection under a new temporary directory. Returns false (with a message on
// stderr) when something could not be written.
bool MakeBenchSet(int n, BenchSet* set);

// Removes everything MakeBenchSet created.
void RemoveBenchSet(const BenchSet& set);

// Whole-file helpers. WriteWholeFile replaces the file in place (no atomicity).
bool WriteWholeFile(const std::string& path, const std::string& bytes);
bool ReadWholeFile(const std::string& path, std::string* bytes);
