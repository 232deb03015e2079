#pragma once
#include <string>
#include <vector>

// Names (without directory) of the plain files matching any of the pattern paths
// (a directory text followed by a wildcard such as "*.bin"), in the order the cartridge
// list shows them: one merged list sorted without regard to case.
void ListMatchingFiles(const char* const* patternPaths, int count, std::vector<std::string>* names);
