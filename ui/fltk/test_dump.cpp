// A read-only trace of the form for the end-to-end tests. When the environment variable
// QV_TEST_DUMP is set, every control report and the form's state after it are printed to
// standard output; nothing else changes. Without it these functions print nothing.
#include "res/resource.h"
#include "ui/fltk/main_window.h"

#include <FL/Fl_Button.H>
#include <FL/Fl_Hold_Browser.H>
#include <FL/Fl_Input.H>

#include <cstdio>
#include <cstdlib>

namespace {

bool g_dumpEnabled = false;
int g_eventDepth = 0;

int Checked(int id) {
    Fl_Button* b = static_cast<Fl_Button*>(FindControl(id));
    return b ? b->value() : -1;
}

const char* Text(int id) {
    Fl_Input* in = static_cast<Fl_Input*>(FindControl(id));
    return in ? in->value() : "";
}

} // namespace

void TestDumpInit() {
    const char* v = std::getenv("QV_TEST_DUMP");
    g_dumpEnabled = v && v[0];
}

void TestDumpEvent(int id, int code) {
    ++g_eventDepth;
    if (g_dumpEnabled && g_eventDepth == 1) {
        std::printf("event %d %d\n", id, code);
        std::fflush(stdout);
    }
}

void TestDumpState(const char* tag) {
    if (g_eventDepth > 0)
        --g_eventDepth;
    if (!g_dumpEnabled || g_eventDepth > 0)
        return;
    Fl_Hold_Browser* list = static_cast<Fl_Hold_Browser*>(FindControl(IDC_CARTLIST));
    if (!list)
        return;
    std::printf("state %s\n", tag);
    for (int i = 1; i <= list->size(); ++i)
        std::printf("item %s\n", list->text(i));
    std::printf("selected %d\n", list->value());
    std::printf("title %s\n", Text(IDC_TITLE));
    std::printf("frames %s\n", Text(IDC_FRAMES));
    std::printf("usa %d\neurope %d\njapan %d\nnosound %d\nz80 %d\n", Checked(IDC_USA),
                Checked(IDC_EUROPE), Checked(IDC_JAPAN), Checked(IDC_NOSOUND), Checked(IDC_Z80));
    std::printf("end\n");
    std::fflush(stdout);
}

void TestDumpPrompt(const char* tag, const char* title, const char* dir, const char* filter,
                    const char* name, const Fl_Browser* list) {
    if (!g_dumpEnabled)
        return;
    std::printf("prompt %s\ntitle %s\ndir %s\nfilter %s\nname %s\n", tag, title, dir, filter, name);
    for (int i = 1; list && i <= list->size(); ++i)
        std::printf("item %s\n", list->text(i));
    std::printf("end\n");
    std::fflush(stdout);
}
