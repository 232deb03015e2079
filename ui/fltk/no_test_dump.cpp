// The shipped launcher's side of the test trace: nothing. It prints no trace and reads no
// environment variable; the tests drive a copy built with test_dump.cpp instead.
#include "ui/fltk/test_dump.h"

void TestDumpInit() {}

void TestDumpEvent(int, int) {}

void TestDumpState(const char*) {}

void TestDumpMessage(const char*) {}

void TestDumpPrompt(const char*, const char*, const char*, const char*, const char*,
                    const Fl_Browser*) {}
