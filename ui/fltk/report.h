// How a control of the main window notifies its parent: one report, with the window system's
// control ID and notification code, handed to the command handling.
#pragma once

void ReportCommand(int id, int code);

// The test trace's seam: before(id, code) runs ahead of every report, after("after") once the
// command handling has returned. The shipped launcher installs none.
void WatchReports(void (*before)(int id, int code), void (*after)(const char* tag));
