// Start-up path resolution: the launcher's own directory, the settings file, the emulator and
// the cartridge directory, asked for on the first run.
#include "core/paths.h"

#include <cstring>

#include "core/cart_patterns.h"
#include "core/settings.h"
#include "platform/module_path.h"
#include "platform/profile_store.h"
#include "platform/short_path.h"

AppPaths g_paths;

namespace {

// Position just after the last separator of path, or path itself when it holds none.
char* AfterLastSep(char* path) {
    char* pos = path;
    for (char* sep = std::strchr(pos, kPathSep); sep != nullptr; sep = std::strchr(pos, kPathSep)) {
        pos = sep + 1;
    }
    return pos;
}

// Shows the prompt until the user picks a file. A cancelled dialog is shown again; a dialog
// that cannot be shown at all would fail forever, so start-up goes on without an answer.
bool RunPrompt(FileChooser chooser, void* context, OpenFileRequest* request) {
    if (chooser == nullptr)
        return false;
    for (;;) {
        ChooseResult result = chooser(request, context);
        if (result == ChooseResult::Chosen)
            return true;
        if (result == ChooseResult::Failed)
            return false;
    }
}

void ReadPathValue(const char* key, const char* def, char* buf) {
    ProfileReadString(kPathsSection, key, def, buf, kPathMax, g_paths.IniPath);
}

void WritePathValue(const char* key, const char* value) {
    ProfileWriteString(kPathsSection, key, value, g_paths.IniPath);
}

} // namespace

void CutAfterLastSep(char* path) {
    *AfterLastSep(path) = '\0';
}

void CutAtLastSep(char* path) {
    char* pos = AfterLastSep(path);
    if (pos != path)
        pos[-1] = '\0';
}

void ResolvePathsFromModule(const char* modulePath, FileChooser chooser, void* context,
                            void* owner) {
    // The launcher's directory as the platform reports it, and the settings file beside it.
    if (!CopyText(g_paths.ModuleDir, kPathMax, modulePath))
        g_paths.ModuleDir[0] = '\0';
    CutAfterLastSep(g_paths.ModuleDir);
    g_paths.IniPath[0] = '\0';
    // Without a directory the settings file would land in whatever directory is current, and
    // a cut-off name would be another file: in both cases the launcher runs without one.
    if (g_paths.ModuleDir[0] != '\0' && CopyText(g_paths.IniPath, kPathMax, g_paths.ModuleDir) &&
        !AppendText(g_paths.IniPath, kPathMax, kIniFileName)) {
        g_paths.IniPath[0] = '\0';
    }
    ToShortPath(g_paths.ModuleDir, kPathMax);
    WritePathValue(kKeyQuorvalisPath, g_paths.ModuleDir);

    // The two prompts share one request; the second changes only its buffer, title and filter.
    static char emulatorFile[kPathMax];
    static char cartFile[kPathMax];
    CopyText(emulatorFile, kPathMax, "Zelko.exe");
    cartFile[0] = '\0';
    OpenFileRequest request{};
    request.owner = owner;
    request.filterDesc = "Zelko.exe";
    request.filterPattern = "Zelko.EXE";
    request.fileName = emulatorFile;
    request.fileNameCap = kPathMax;
    request.title = "Find Zelko.exe";

    ReadPathValue(kKeyEmulatorPath, kNoEmulator, g_paths.EmulatorCommand);
    if (std::strcmp(g_paths.EmulatorCommand, kNoEmulator) == 0 &&
        RunPrompt(chooser, context, &request)) {
        ToShortPath(emulatorFile, kPathMax);
        WritePathValue(kKeyEmulatorPath, emulatorFile);
        ReadPathValue(kKeyEmulatorPath, kNoEmulator, g_paths.EmulatorCommand);
    }
    CopyText(g_paths.EmulatorDir, kPathMax, g_paths.EmulatorCommand);
    CutAtLastSep(g_paths.EmulatorDir);

    ReadPathValue(kKeyCartPath, kNoCarts, g_paths.SelectedRom);
    if (std::strcmp(g_paths.SelectedRom, kNoCarts) == 0) {
        request.fileName = cartFile;
        request.title = "Open a cartridge to locate your cartridge directory";
        request.filterDesc = kCartFilterDesc;
        request.filterPattern = kCartFilterPattern;
        if (RunPrompt(chooser, context, &request)) {
            CutAfterLastSep(cartFile);
            ToShortPath(cartFile, kPathMax);
            WritePathValue(kKeyCartPath, cartFile);
            ReadPathValue(kKeyCartPath, kNoCarts, g_paths.SelectedRom);
        }
    }
    CopyText(g_paths.CartDir, kPathMax, g_paths.SelectedRom);
}

void ResolvePaths(FileChooser chooser, void* context, void* owner) {
    char modulePath[kPathMax];
    if (!GetModulePath(modulePath, kPathMax))
        modulePath[0] = '\0';
    ResolvePathsFromModule(modulePath, chooser, context, owner);
}
