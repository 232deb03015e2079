// The first-run prompts: a modal open-file dialog owned by the main window.
#include "ui/fltk/file_chooser_fltk.h"

#include "ui/fltk/chooser_paths.h"
#include "ui/fltk/layout.h"
#include "ui/fltk/name_list.h"
#include "ui/fltk/test_dump.h"

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Hold_Browser.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Output.H>
#include <FL/Fl_Return_Button.H>
#include <FL/fl_ask.H>
#include <FL/filename.H>

#include <cstring>
#include <string>
#include <unistd.h>

namespace {

enum class Outcome { Open, Pending, Cancel };

struct Dialog {
    OpenFileRequest* request;
    const char* title;
    const char* filterDesc;
    std::string dir; // the directory shown, absolute, normalised
    Fl_Double_Window* win;
    Fl_Output* dirField;
    Fl_Hold_Browser* list;
    Fl_Input* name;
    Outcome outcome;
};

// Where each prompt opens: the directory of the last choice, at first the current directory.
std::string g_startDir;

std::string CurrentDirectory() {
    char buf[FL_PATH_MAX];
    if (!getcwd(buf, sizeof(buf)))
        return "/";
    return NormalizePath(buf);
}

// The shown directory's entries: ".." (except at the root), the subdirectories, then the
// files matching the filter, each group in case-insensitive order. Hidden entries are left
// out; their names can still be typed.
void FillList(Dialog* d) {
    d->list->clear();
    if (d->dir != "/")
        d->list->add("../");
    dirent** entries = nullptr;
    int n = fl_filename_list(d->dir.c_str(), &entries, fl_casealphasort);
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 0; i < n; ++i) {
            const char* entry = entries[i]->d_name;
            size_t len = std::strlen(entry);
            bool isDir = len > 0 && entry[len - 1] == '/';
            if (entry[0] == '.' || isDir != (pass == 0))
                continue;
            if (isDir || MatchesFilter(entry, d->request->filterPattern))
                d->list->add(entry);
        }
    }
    if (n > 0)
        fl_filename_free_list(&entries, n);
    d->dirField->value(d->dir.c_str());
}

void Dump(const Dialog* d, const char* tag, const char* name) {
    TestDumpPrompt(tag, d->title, d->dir.c_str(), d->filterDesc, name, d->list);
}

void Navigate(Dialog* d, const std::string& dir) {
    d->dir = dir;
    d->name->value("");
    FillList(d);
    Dump(d, "navigated", d->name->value());
}

// Open: a directory is shown, a file in an existing directory that fits the request's
// buffer ends the dialog, anything else is refused and the dialog stays up.
void Open(Dialog* d) {
    std::string full;
    switch (ResolveTypedPath(d->dir, d->name->value(), &full)) {
    case TypedPath::Empty:
        return;
    case TypedPath::Directory:
        Navigate(d, full);
        return;
    case TypedPath::File:
        if (full.size() < static_cast<size_t>(d->request->fileNameCap)) {
            std::memcpy(d->request->fileName, full.c_str(), full.size() + 1);
            d->outcome = Outcome::Open;
            d->win->hide();
            return;
        }
        break;
    case TypedPath::Refused:
        break;
    }
    // Refused: the text stays, selected, for the user to correct or type over.
    fl_beep();
    d->name->take_focus();
    d->name->position(d->name->size(), 0);
    Dump(d, "refused", d->name->value());
}

void OpenCb(Fl_Widget*, void* data) {
    Open(static_cast<Dialog*>(data));
}

// Cancel, Escape and the window manager's close box.
void CancelCb(Fl_Widget*, void* data) {
    Dialog* d = static_cast<Dialog*>(data);
    d->outcome = Outcome::Cancel;
    d->win->hide();
}

// A click on a file puts its name into the file-name field; a double-click opens the entry.
void ListCb(Fl_Widget*, void* data) {
    Dialog* d = static_cast<Dialog*>(data);
    int line = d->list->value();
    if (line <= 0)
        return;
    const char* entry = d->list->text(line);
    size_t len = std::strlen(entry);
    bool isDir = len > 0 && entry[len - 1] == '/';
    if (!isDir)
        d->name->value(entry);
    if (Fl::event() == FL_RELEASE && Fl::event_clicks() > 0) {
        Fl::event_clicks(-1);
        d->name->value(entry);
        Open(d);
    }
}

} // namespace

ChooseResult FltkChooseFile(OpenFileRequest* request, void*) {
    if (!request || !request->fileName || request->fileNameCap <= 0)
        return ChooseResult::Failed;
    const char* title = request->title ? request->title : "";
    const char* filterDesc = request->filterDesc ? request->filterDesc : "";

    Dialog d = {};
    d.request = request;
    d.title = title;
    d.filterDesc = filterDesc;
    d.dir = g_startDir.empty() ? CurrentDirectory() : g_startDir;
    d.outcome = Outcome::Pending;
    Fl_Double_Window win(DuX(263), DuY(162), title);
    d.win = &win;
    d.dirField = new Fl_Output(DuX(52), DuY(6), DuW(52, 205), DuH(6, 12), "Look &in:");
    d.list = new NameList(DuX(6), DuY(22), DuW(6, 251), DuH(22, 96)); // names as they are
    d.list->when(FL_WHEN_RELEASE_ALWAYS);
    d.list->callback(ListCb, &d);
    d.name = new Fl_Input(DuX(58), DuY(124), DuW(58, 145), DuH(124, 12), "File &name:");
    Fl_Output* filter =
        new Fl_Output(DuX(58), DuY(142), DuW(58, 145), DuH(142, 12), "Files of &type:");
    filter->value(filterDesc);
    Fl_Return_Button* open =
        new Fl_Return_Button(DuX(209), DuY(123), DuW(209, 48), DuH(123, 14), "&Open");
    open->callback(OpenCb, &d);
    Fl_Button* cancel = new Fl_Button(DuX(209), DuY(141), DuW(209, 48), DuH(141, 14), "Cancel");
    cancel->callback(CancelCb, &d);
    win.end();
    win.callback(CancelCb, &d);
    win.set_modal();
    win.xclass("Quorvalis");
    CentreWindow(&win, static_cast<Fl_Window*>(request->owner));

    // The initial file name, read no further than the buffer's capacity.
    std::string initial(request->fileName, strnlen(request->fileName, request->fileNameCap));
    d.name->value(initial.c_str());
    FillList(&d);
    win.show();
    // The file-name field has the keyboard, its text selected so typing replaces it.
    d.name->take_focus();
    d.name->position(d.name->size(), 0);
    Dump(&d, "shown", d.name->value());
    while (win.shown())
        Fl::wait();

    if (d.outcome != Outcome::Open) {
        Dump(&d, "cancelled", d.name->value());
        return ChooseResult::Cancelled;
    }
    // The chosen path is absolute and normalised: its directory is everything before the
    // last '/'.
    std::string chosen = request->fileName;
    size_t slash = chosen.find_last_of('/');
    g_startDir = NormalizePath(chosen.substr(0, slash == std::string::npos ? 0 : slash));
    Dump(&d, "chosen", request->fileName);
    return ChooseResult::Chosen;
}
