// A stand-in for WinRAR's rar.exe in the GUI tests, over a bundle format of
// its own ("RWFAKEAR\n", then per entry: the name's raw 8-bit bytes and LF,
// the size in decimal and LF, the bytes). It answers the two calls the
// program makes:
//   rar vb -- ARCHIVE               entry names, one per line (CR LF)
//   rar x -av- -ep -- ARCHIVE ENTRY the entry's bytes into the current folder,
//                                   under its name without folders
// Every call appends its raw command line and current folder to
// rar_calls.log beside this program, so tests can see exactly what ran, and
// then waits while a file rar_hold stands beside this program, so tests can
// look at the window while an archive is being taken apart.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace {

struct Entry {
    std::string name;  // 8-bit, as stored
    std::string bytes;
};

std::optional<std::vector<Entry>> readBundle(const std::wstring& path) {
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    if (!in) return std::nullopt;
    const std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string magic = "RWFAKEAR\n";
    if (all.compare(0, magic.size(), magic) != 0) return std::nullopt;
    std::vector<Entry> entries;
    size_t at = magic.size();
    while (at < all.size()) {
        const size_t nameEnd = all.find('\n', at);
        if (nameEnd == std::string::npos) return std::nullopt;
        const size_t sizeEnd = all.find('\n', nameEnd + 1);
        if (sizeEnd == std::string::npos) return std::nullopt;
        const size_t size = std::stoul(all.substr(nameEnd + 1, sizeEnd - nameEnd - 1));
        if (size > all.size() - (sizeEnd + 1)) return std::nullopt;
        entries.push_back(Entry{all.substr(at, nameEnd - at), all.substr(sizeEnd + 1, size)});
        at = sizeEnd + 1 + size;
    }
    return entries;
}

std::string utf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring oem(const std::string& text) {
    if (text.empty()) return {};
    const int n = MultiByteToWideChar(CP_OEMCP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_OEMCP, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

std::wstring besideSelf(const wchar_t* name) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring path(self);
    return path.substr(0, path.rfind(L'\\') + 1) + name;
}

void logCall() {
    wchar_t folder[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, folder);
    std::ofstream out(std::filesystem::path(besideSelf(L"rar_calls.log")), std::ios::binary | std::ios::app);
    out << "cmd=" << utf8(GetCommandLineW()) << "\ncwd=" << utf8(folder) << "\n";
}

void waitWhileHeld() {
    const std::wstring hold = besideSelf(L"rar_hold");
    while (GetFileAttributesW(hold.c_str()) != INVALID_FILE_ATTRIBUTES) Sleep(50);
}

int list(const std::wstring& archive) {
    _setmode(_fileno(stdout), _O_BINARY);  // the names end in CR LF, not CR CR LF
    const auto entries = readBundle(archive);
    if (!entries) {
        std::fprintf(stderr, "ERROR: cannot open archive\n");
        return 10;
    }
    for (const Entry& e : *entries) std::printf("%s\r\n", e.name.c_str());
    return 0;
}

int extract(const std::wstring& archive, const std::wstring& entry) {
    const auto entries = readBundle(archive);
    if (!entries) return 10;
    for (const Entry& e : *entries) {
        if (oem(e.name) != entry) continue;
        const std::wstring fileName = entry.substr(entry.rfind(L'\\') == std::wstring::npos ? 0 : entry.rfind(L'\\') + 1);
        if (GetFileAttributesW(fileName.c_str()) != INVALID_FILE_ATTRIBUTES) {
            // The real program would ask whether to overwrite, on standard input.
            char answer = 0;
            if (std::fread(&answer, 1, 1, stdin) != 1 || (answer != 'y' && answer != 'Y')) return 255;
        }
        std::ofstream out(std::filesystem::path(fileName), std::ios::binary | std::ios::trunc);
        out.write(e.bytes.data(), static_cast<std::streamsize>(e.bytes.size()));
        return out ? 0 : 5;
    }
    return 10;  // no such entry
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    logCall();
    waitWhileHeld();
    std::vector<std::wstring> args(argv + 1, argv + argc);
    if (args.size() == 3 && args[0] == L"vb" && args[1] == L"--") return list(args[2]);
    if (args.size() == 6 && args[0] == L"x" && args[1] == L"-av-" && args[2] == L"-ep" && args[3] == L"--")
        return extract(args[4], args[5]);
    std::fprintf(stderr, "usage: rar vb -- ARCHIVE | rar x -av- -ep -- ARCHIVE ENTRY\n");
    return 7;
}
