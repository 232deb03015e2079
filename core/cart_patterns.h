// The cartridge files' name patterns: in the order the list requests them, and as the
// cartridge prompt's filter offers them.
#pragma once

constexpr int kCartPatternCount = 4;
constexpr const char* kCartPatterns[kCartPatternCount] = {"*.bin", "*.md", "*.mgd", "*.smd"};
constexpr const char* kCartFilterDesc = "Genesis ROMs (*.bin;*.md;*.mgd;*.smd)";
constexpr const char* kCartFilterPattern = "*.bin;*.md;*.mgd;*.smd";
