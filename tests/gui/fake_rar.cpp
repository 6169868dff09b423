// A stand-in for WinRAR's rar.exe in the GUI test. An "archive" is a text file
// of entry names (raw 8-bit, one a line) beside a folder ARCHIVE.d holding them.
//   rar vb -- ARCHIVE               prints the names
//   rar x -av- -ep -- ARCHIVE ENTRY copies the entry here, without its folders
// Every call appends its command line and current folder to rar_calls.log
// beside this program, then waits while a file rar_hold stands there. Built
// as viewer.exe (RW_VIEWER), the default program for SVG pictures, it only
// records its calls in viewer_calls.log.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

namespace {

std::wstring besideSelf(const wchar_t* name) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring path(self);
    return path.substr(0, path.rfind(L'\\') + 1) + name;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    char folder[MAX_PATH] = {};  // the tests' paths are plain ASCII
    GetCurrentDirectoryA(MAX_PATH, folder);
    #ifdef RW_VIEWER
    std::ofstream(besideSelf(L"viewer_calls.log").c_str(), std::ios::binary | std::ios::app) << "cmd=" << GetCommandLineA() << "\n";
    return 0;
#endif
    std::ofstream(besideSelf(L"rar_calls.log").c_str(), std::ios::binary | std::ios::app)
        << "cmd=" << GetCommandLineA() << "\ncwd=" << folder << "\n";
    while (GetFileAttributesW(besideSelf(L"rar_hold").c_str()) != INVALID_FILE_ATTRIBUTES) Sleep(50);

    const std::wstring command = argc > 1 ? argv[1] : L"";
    if (argc == 4 && command == L"vb") {
        std::ifstream in(argv[3], std::ios::binary);
        if (!in) return 10;
        _setmode(_fileno(stdout), _O_BINARY);  // the names end in CR LF as written, not CR CR LF
        const std::string names((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::fwrite(names.data(), 1, names.size(), stdout);
        return 0;
    }
    if (argc == 7 && command == L"x" && std::wstring(argv[2]) == L"-av-" && std::wstring(argv[3]) == L"-ep") {
        const std::wstring entry = argv[6];
        const std::wstring name = entry.substr(entry.rfind(L'\\') + 1);
        // The real program would ask whether to overwrite, on standard input.
        if (GetFileAttributesW(name.c_str()) != INVALID_FILE_ATTRIBUTES) return 255;
        return CopyFileW((std::wstring(argv[5]) + L".d\\" + entry).c_str(), name.c_str(), TRUE) ? 0 : 10;
    }
    std::fprintf(stderr, "usage: rar vb -- ARCHIVE | rar x -av- -ep -- ARCHIVE ENTRY\n");
    return 7;
}
