// The cartridge files, listed by the list box itself: one LB_DIR request per pattern path
// into a hidden sorted list box, then the items read back. Names and order are exactly what
// the main window's cartridge list shows, filled by the same requests (AddMatchingFiles).
#include "platform/dir_list.h"
#include "platform/win32/dir_list_win32.h"

void AddMatchingFiles(HWND list, const char* dir, const char* const* patterns, int count) {
    for (int i = 0; i < count; i++) {
        char patternPath[kPathMax];
        // The selector 0 (DDL_READWRITE) lists plain files only.
        if (BuildPatternPath(patternPath, dir, patterns[i]))
            SendMessageA(list, LB_DIR, 0, reinterpret_cast<LPARAM>(patternPath));
    }
}

void ListMatchingFiles(const char* dir, const char* const* patterns, int count,
                       std::vector<std::string>* names) {
    names->clear();
    HWND list = CreateWindowExA(0, "LISTBOX", "", WS_POPUP | LBS_SORT | LBS_HASSTRINGS, 0, 0, 0, 0,
                                nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!list)
        return;
    AddMatchingFiles(list, dir, patterns, count);
    LRESULT items = SendMessageA(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < items; i++) {
        LRESULT len = SendMessageA(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
        if (len == LB_ERR)
            continue;
        std::string name(static_cast<size_t>(len) + 1, '\0');
        len = SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(i),
                           reinterpret_cast<LPARAM>(name.data()));
        if (len == LB_ERR)
            continue;
        name.resize(static_cast<size_t>(len));
        names->push_back(name);
    }
    DestroyWindow(list);
}
