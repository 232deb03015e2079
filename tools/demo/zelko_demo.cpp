// A stand-in for the emulator in the demo: shows in a small window the command line and the
// working directory it was started with, and the same on standard output.
#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Multiline_Output.H>

#include <climits>
#include <cstdio>
#include <string>
#include <unistd.h>

namespace {

void CloseCb(Fl_Widget* w, void*) {
    w->window()->hide();
}

} // namespace

int main(int argc, char** argv) {
    std::string text = "Zelko stand-in started with\n\nargv:\n";
    for (int i = 0; i < argc; ++i) {
        text += "  [" + std::to_string(i) + "] ";
        text += argv[i];
        text += '\n';
    }
    char cwd[PATH_MAX];
    text += "\nworking directory:\n  ";
    text += getcwd(cwd, sizeof(cwd)) ? cwd : "(unknown)";
    text += '\n';
    std::fputs(text.c_str(), stdout);
    std::fflush(stdout);

    Fl_Double_Window win(520, 260, "Zelko (demo stand-in)");
    Fl_Multiline_Output out(10, 10, 500, 200);
    out.textfont(FL_COURIER);
    out.textsize(12);
    out.value(text.c_str());
    Fl_Button close(420, 220, 90, 28, "Close");
    close.callback(CloseCb);
    win.end();
    win.show();
    return Fl::run();
}
