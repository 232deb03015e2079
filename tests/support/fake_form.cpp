// The in-memory form of fake_form.h: the tests' implementation of ui/form.h.
#include "support/fake_form.h"

#include "res/resource.h"
#include "ui/commands.h"
#include "ui/form.h"

#include <cstdio>
#include <cstring>
#include <map>

namespace {

struct FakeForm {
    std::map<int, std::string> texts;
    std::map<int, bool> checks;
    bool hasSelection = false;
    std::string selection;
    std::vector<std::string> log;
    int quitCode = -1;
    int aboutCount = 0;
    std::vector<std::string> messages;
};

FakeForm& Form() {
    static FakeForm form;
    return form;
}

void Record(const std::string& line) {
    Form().log.push_back(line);
}

} // namespace

// The form interface, as the command handling calls it.

int FormGetText(int id, char* buf, int cap) {
    Record("get " + std::to_string(id));
    if (cap <= 0)
        return 0;
    const std::string& text = Form().texts[id];
    size_t n = text.size();
    if (n > static_cast<size_t>(cap - 1))
        n = static_cast<size_t>(cap - 1);
    std::memcpy(buf, text.data(), n);
    buf[n] = '\0';
    return static_cast<int>(n);
}

void FormSetText(int id, const char* text) {
    Record("set " + std::to_string(id) + " " + text);
    Form().texts[id] = text;
    if (id == IDC_FRAMES)
        HandleFormCommand(IDC_FRAMES, QV_EN_CHANGE);
}

bool FormIsChecked(int id) {
    Record("ischecked " + std::to_string(id));
    return Form().checks[id];
}

void FormSetCheck(int id, bool checked) {
    Record("check " + std::to_string(id) + (checked ? " 1" : " 0"));
    Form().checks[id] = checked;
}

bool FormGetSelection(char* buf, int cap) {
    Record("selection");
    FakeForm& f = Form();
    if (!f.hasSelection || cap <= 0 || f.selection.size() >= static_cast<size_t>(cap))
        return false;
    std::memcpy(buf, f.selection.c_str(), f.selection.size() + 1);
    return true;
}

void FormShowAbout() {
    Record("about");
    Form().aboutCount++;
}

void FormShowMessage(const char* text) {
    Record(std::string("message ") + text);
    Form().messages.push_back(text);
}

void FormShownName(const char* name, char* buf, int cap) {
    std::snprintf(buf, static_cast<size_t>(cap), "%s", name);
}

void FormQuit(int code) {
    Record("quit " + std::to_string(code));
    Form().quitCode = code;
}

namespace fakeform {

void Reset() {
    Form() = FakeForm{};
}

void Select(const std::string& name) {
    Form().hasSelection = true;
    Form().selection = name;
}

void SelectNone() {
    Form().hasSelection = false;
    Form().selection.clear();
}

void Type(int id, const std::string& text) {
    Form().texts[id] = text;
    if (id == IDC_FRAMES)
        HandleFormCommand(IDC_FRAMES, QV_EN_CHANGE);
}

void SetTextQuiet(int id, const std::string& text) {
    Form().texts[id] = text;
}

void ClickRadio(int id) {
    for (int r : {IDC_USA, IDC_EUROPE, IDC_JAPAN})
        Form().checks[r] = (r == id);
}

void SetCheckQuiet(int id, bool checked) {
    Form().checks[id] = checked;
}

std::string Text(int id) {
    return Form().texts[id];
}

bool Checked(int id) {
    return Form().checks[id];
}

int CheckedRegion() {
    int found = 0;
    for (int r : {IDC_USA, IDC_EUROPE, IDC_JAPAN}) {
        if (Form().checks[r]) {
            if (found != 0)
                return -1;
            found = r;
        }
    }
    return found;
}

int QuitCode() {
    return Form().quitCode;
}

int AboutCount() {
    return Form().aboutCount;
}

const std::vector<std::string>& Messages() {
    return Form().messages;
}

const std::vector<std::string>& Log() {
    return Form().log;
}

void ClearLog() {
    Form().log.clear();
}

int FindLog(const std::string& prefix) {
    const auto& log = Form().log;
    for (size_t i = 0; i < log.size(); i++) {
        if (log[i].compare(0, prefix.size(), prefix) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

} // namespace fakeform
