// A stand-in for rar.exe, 7z.exe and tar.exe in the GUI test, built under each name, taking their
// listing and extraction command lines (wmain). An "archive" is a text file of entry names (raw 8-bit,
// lines ending in CR LF) beside a folder ARCHIVE.d holding them. Every call appends its command line and
// current folder to calls.log beside this program, then waits while a file "hold" stands there. Built as
// viewer.exe too, the default program for SVG pictures, of which the calls are all that matters.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::wstring besideSelf(const wchar_t* name) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring path(self);
    return path.substr(0, path.rfind(L'\\') + 1) + name;
}

// Each name between `before` and `after`, with backslashes as `backslash`.
int list(const std::wstring& archive, const char* before, const char* after, const char* backslash) {
    std::ifstream in(archive.c_str(), std::ios::binary);
    if (!in) return 10;
    _setmode(_fileno(stdout), _O_BINARY);  // lines end in CR LF as written, not CR CR LF
    const std::string names((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::printf("%s", *before ? "--\r\nPath = archive\r\n\r\n----------\r\n" : "");
    for (size_t start = 0, end; (end = names.find("\r\n", start)) != std::string::npos; start = end + 2) {
        std::string name;
        for (char c : names.substr(start, end - start)) name += c == '\\' ? backslash : std::string(1, c);
        std::printf("%s%s%s\r\n", before, name.c_str(), after);
    }
    return 0;
}

// Copies ARCHIVE.d\ENTRY to TARGET, making its folders; an existing target is not overwritten.
int extract(const std::wstring& archive, std::wstring entry, const std::wstring& target) {
    for (wchar_t& c : entry) c = c == L'/' ? L'\\' : c;
    for (size_t slash = target.find(L'\\', 3); slash != std::wstring::npos; slash = target.find(L'\\', slash + 1))
        CreateDirectoryW(target.substr(0, slash).c_str(), nullptr);
    return CopyFileW((archive + L".d\\" + entry).c_str(), target.c_str(), TRUE) ? 0 : 10;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    char folder[MAX_PATH] = {};  // the tests' paths are plain ASCII
    GetCurrentDirectoryA(MAX_PATH, folder);
    std::ofstream(besideSelf(L"calls.log").c_str(), std::ios::binary | std::ios::app)
        << "cmd=" << GetCommandLineA() << "\ncwd=" << folder << "\n";
    while (GetFileAttributesW(besideSelf(L"hold").c_str()) != INVALID_FILE_ATTRIBUTES) Sleep(50);

    const std::vector<std::wstring> a(argv, argv + argc);
    const auto fileName = [](const std::wstring& entry) { return entry.substr(entry.find_last_of(L"\\/") + 1); };
    if (argc == 4 && a[1] == L"vb" && a[2] == L"--") return list(a[3], "", "", "\\");
    if (argc == 8 && a[1] == L"x" && a[2] == L"-av-" && a[3] == L"-ep" && a[4] == L"--")
        return extract(a[5], a[6], a[7] + fileName(a[6]));
    if (argc == 6 && a[1] == L"l" && a[2] == L"-slt" && a[3] == L"-sccUTF-8" && a[4] == L"--")
        return list(a[5], "Path = ", "\r\nFolder = -\r\n", "\\");
    if (argc == 7 && a[1] == L"e" && a[2] == L"-sccUTF-8" && a[3].starts_with(L"-o") && a[4] == L"--")
        return extract(a[5], a[6], a[3].substr(2) + L"\\" + fileName(a[6]));
    if (argc == 4 && a[1] == L"-t" && a[2] == L"-f") return list(a[3], "", "", "\\\\");
    if (argc == 8 && a[1] == L"-x" && a[2] == L"-f" && a[4] == L"-C" && a[6] == L"--")
        return extract(a[3], a[7], a[5] + L"\\" + a[7]);
    std::fprintf(stderr, "unknown command line\n");
    return 7;
}
