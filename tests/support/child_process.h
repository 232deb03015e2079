// Running a piece of a test in a process of its own (POSIX): faults that must not touch the
// test program itself (resource limits, another user, a kill) are made there.
#pragma once
#ifndef _WIN32

#include <functional>

namespace qvtest {

// A child's exit code meaning: the fault cannot be made here (the test is skipped).
constexpr int kSkipped = 77;

// Runs body in a forked child and returns its exit code (128 + signal when it was killed,
// -1 when no child could be made).
int RunInChild(const std::function<int()>& body);

// Makes every later call of the system call nr in this process fail with error, as a file
// system or a device would answer it (a seccomp filter: for a child of RunInChild only). False
// when no filter can be set here.
bool RefuseSystemCall(long nr, int error);

} // namespace qvtest

#endif
