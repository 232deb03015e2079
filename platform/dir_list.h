#pragma once
#include <string>
#include <vector>

// Names (without directory) of the plain files matching any of the pattern paths (one directory
// text, the same in each, followed by a wildcard such as "*.bin"), in the order the cartridge
// list shows them: one merged list sorted without regard to case, each name once.
void ListMatchingFiles(const char* const* patternPaths, int count, std::vector<std::string>* names);
