// The settings file's schema: section names, keys, sentinels and defaults.
#pragma once

constexpr const char* kIniFileName = "Quorvalis.ini";

// The launcher's own section.
constexpr const char* kPathsSection = "Quorvalis Paths";
constexpr const char* kKeyQuorvalisPath = "QuorvalisPath";
constexpr const char* kKeyEmulatorPath = "EmulatorPath";
constexpr const char* kKeyCartPath = "CartPath";
constexpr const char* kNoEmulator = "NO EMULATOR";
constexpr const char* kNoCarts = "NO CARTS";

// One section per cartridge, named by its file name; keys in the order a save writes them.
constexpr const char* kKeyTitle = "Title";
constexpr const char* kKeyNoSound = "NoSound";
constexpr const char* kKeyZ80 = "Z80";
constexpr const char* kKeyVersion = "Version";
constexpr const char* kKeyFrames = "Frames";
constexpr const char* kNoVersion = "NO VERSION";
constexpr const char* kDefaultFrames = "2";
constexpr const char* kVersionUsa = "USA";
constexpr const char* kVersionEurope = "Europe";
constexpr const char* kVersionJapan = "Japan";

// Field sizes of a cartridge's settings as the form and the settings file see them.
constexpr int kTitleField = 256;    // a load holds at most 255 characters
constexpr int kTitleSaveCap = 255;  // Save Config passes at most 254 characters
constexpr int kFramesField = 8;     // a load holds at most 7 characters
constexpr int kFramesLaunchCap = 5; // Launch Emulator passes at most 4 characters
constexpr int kFramesSaveCap = 2;   // Save Config stores the first character only
constexpr int kVersionField = 256;
