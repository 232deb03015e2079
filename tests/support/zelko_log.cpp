#include "support/zelko_log.h"

#include <chrono>
#include <thread>

#include "support/test_util.h"

namespace fs = std::filesystem;

namespace qvtest {

fs::path StubProgram() {
#ifdef _WIN32
    return fs::absolute(fs::path(QV_TOOLS_DIR) / "Zelko.exe");
#else
    return fs::absolute(fs::path(QV_TOOLS_DIR) / "Zelko");
#endif
}

fs::path InstallStub(const fs::path& dir) {
    fs::create_directories(dir);
    fs::path target = dir / StubProgram().filename();
    fs::copy_file(StubProgram(), target, fs::copy_options::overwrite_existing);
    return target;
}

std::vector<StubRecord> ReadStubLog(const fs::path& dir) {
    std::vector<StubRecord> records;
    StubRecord current;
    bool open = false;
    for (const std::string& line : LinesOf(ReadFile(dir / "zelko.log"))) {
        if (line == "BEGIN") {
            current = StubRecord();
            open = true;
        } else if (line == "END" && open) {
            records.push_back(current);
            open = false;
        } else if (open && line.rfind("cmdline=", 0) == 0) {
            current.cmdline = line.substr(8);
        } else if (open && line.rfind("cwd=", 0) == 0) {
            current.cwd = line.substr(4);
        } else if (open && line.rfind("argc=", 0) == 0) {
            current.argc = std::stoi(line.substr(5));
        } else if (open && line.rfind("arg=", 0) == 0) {
            current.args.push_back(line.substr(4));
        }
    }
    return records;
}

std::vector<StubRecord> WaitForStubRecords(const fs::path& dir, size_t count, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        std::vector<StubRecord> records = ReadStubLog(dir);
        if (records.size() >= count || std::chrono::steady_clock::now() > deadline)
            return records;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

} // namespace qvtest
