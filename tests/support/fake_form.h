// An in-memory main form for the tests of the command handling: it implements ui/form.h and
// records every call the command handling makes, so the tests can inspect texts, check states,
// the order of reads and writes, the quit code and how often the About box was shown.
#pragma once
#include <string>
#include <vector>

namespace fakeform {

// Empties every text, unchecks every box, clears the selection, the log and the counters.
void Reset();

// What the user does, without going through the command handling's own calls.
// Sets the list's selection (a file name), or none.
void Select(const std::string& name);
void SelectNone();
// Types text into an edit: the text is replaced and, as the window system does, IDC_FRAMES
// then reports the change to the command handling.
void Type(int id, const std::string& text);
// Replaces an edit's text without any report, to put a text in place that the form could
// not otherwise hold (for the read capacities).
void SetTextQuiet(int id, const std::string& text);
// Clicks a radio button: it becomes checked and the other two region buttons unchecked.
void ClickRadio(int id);
void SetCheckQuiet(int id, bool checked);

// Current state.
std::string Text(int id);
bool Checked(int id);
// The region button that is checked (IDC_USA, IDC_EUROPE, IDC_JAPAN), 0 for none, -1 for more
// than one.
int CheckedRegion();
int QuitCode(); // -1 until FormQuit is called
int AboutCount();
// The texts of the message boxes shown, in order.
const std::vector<std::string>& Messages();

// Every call the command handling made, in order, one line each:
//   "get <id>", "set <id> <text>", "check <id> <0|1>", "ischecked <id>", "selection",
//   "about", "message <text>", "quit <code>".
const std::vector<std::string>& Log();
void ClearLog();
// Index of the first log line that starts with prefix, or -1.
int FindLog(const std::string& prefix);

} // namespace fakeform
