// The stand-in emulator in tests: installing a copy of it and reading the records it logs.
#pragma once
#include <filesystem>
#include <string>
#include <vector>

namespace qvtest {

// One start of the stand-in emulator as it logged it.
struct StubRecord {
    std::string cmdline;
    std::string cwd;
    int argc = -1;
    std::vector<std::string> args;
};

// The built stand-in emulator (Zelko, or Zelko.exe on Windows).
std::filesystem::path StubProgram();
// Copies the stand-in emulator into dir; its log then lands in dir. Returns the copy's path.
std::filesystem::path InstallStub(const std::filesystem::path& dir);
// The records of dir's zelko.log, complete ones only.
std::vector<StubRecord> ReadStubLog(const std::filesystem::path& dir);
// Waits (up to about timeoutMs) until dir's log holds at least count records; returns them.
std::vector<StubRecord> WaitForStubRecords(const std::filesystem::path& dir, size_t count,
                                           int timeoutMs = 10000);

} // namespace qvtest
