// Control reports (report.h).
#include "ui/fltk/report.h"

#include "ui/commands.h"

namespace {

void (*g_before)(int, int) = nullptr;
void (*g_after)(const char*) = nullptr;

} // namespace

void ReportCommand(int id, int code) {
    if (g_before)
        g_before(id, code);
    HandleFormCommand(id, code);
    if (g_after)
        g_after("after");
}

void WatchReports(void (*before)(int, int), void (*after)(const char*)) {
    g_before = before;
    g_after = after;
}
