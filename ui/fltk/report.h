// How a control of the main window notifies its parent: one report, with the window system's
// control ID and notification code, handed to the command handling (and to the test trace
// when it is on). The main window passes it on (main_window.cpp).
#pragma once

void ReportCommand(int id, int code);
