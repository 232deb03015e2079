// The test trace of the form (test_dump.cpp): linked only into the copy of the launcher the
// tests drive. The shipped launcher links no_test_dump.cpp instead, whose functions do nothing.
#pragma once

class Fl_Browser;

// Reads QV_TEST_DUMP: the trace is printed only when it is set.
void TestDumpInit();
// A control report, and the form's state after it (tag "after"; "ready" after start-up); the
// trace watches every report (WatchReports).
void TestDumpEvent(int id, int code);
void TestDumpState(const char* tag);
// A message box's text, once it is closed, on one line ("message <text>", line breaks as "\n").
void TestDumpMessage(const char* text);
// The first-run dialog's caption, shown directory, filter text, file-name field and list,
// printed when it is shown, moves to a directory, refuses a name or ends.
void TestDumpPrompt(const char* tag, const char* title, const char* dir, const char* filter,
                    const char* name, const Fl_Browser* list);
