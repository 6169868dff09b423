#include "app/archive_listing.h"

#include <algorithm>
#include <array>

#include "base/line_splitter.h"
#include "platform/text.h"

namespace rw::app {
namespace {

bool forbiddenCharacter(wchar_t c) {
    if (c < 0x20 || c == 0x7F) return true;
    switch (c) {
        case L'<': case L'>': case L':': case L'"': case L'/': case L'|': case L'?': case L'*':
        case L'%':
            return true;
        default:
            return false;
    }
}

wchar_t upper(wchar_t c) { return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - L'a' + L'A') : c; }

// CON, PRN, AUX, NUL, COM0-9 and LPT0-9 name devices whatever their extension.
bool deviceName(std::wstring_view component) {
    const std::wstring_view base = component.substr(0, component.find(L'.'));
    std::wstring name;
    for (wchar_t c : base) name.push_back(upper(c));
    while (!name.empty() && name.back() == L' ') name.pop_back();
    static constexpr std::array<std::wstring_view, 4> plain{L"CON", L"PRN", L"AUX", L"NUL"};
    if (std::find(plain.begin(), plain.end(), name) != plain.end()) return true;
    return name.size() == 4 && (name.starts_with(L"COM") || name.starts_with(L"LPT")) && name[3] >= L'0' &&
           name[3] <= L'9';
}

bool safeComponent(std::wstring_view component) {
    if (component.empty() || component == L"." || component == L"..") return false;
    // Windows drops trailing dots and blanks, so the name would not be the one asked for.
    if (component.back() == L'.' || component.back() == L' ') return false;
    return std::none_of(component.begin(), component.end(), forbiddenCharacter);
}

bool endsWithDem(std::wstring_view line) { return line.size() >= 4 && line.substr(line.size() - 4) == L".dem"; }

}  // namespace

bool isArchivePath(std::wstring_view path) { return path.size() >= 4 && path.substr(path.size() - 4) == L".rar"; }

bool isSafeEntryName(std::wstring_view entry) {
    if (entry.empty() || entry.size() > kMaxEntryLength) return false;
    if (entry.front() == L'-' || entry.front() == L'@') return false;
    size_t start = 0;
    while (true) {
        const size_t end = entry.find(L'\\', start);
        const std::wstring_view component = entry.substr(start, end == std::wstring_view::npos ? entry.npos : end - start);
        if (!safeComponent(component)) return false;
        if (end == std::wstring_view::npos) return !deviceName(component);
        start = end + 1;
    }
}

std::wstring_view entryFileName(std::wstring_view entry) {
    const size_t slash = entry.rfind(L'\\');
    return slash == std::wstring_view::npos ? entry : entry.substr(slash + 1);
}

std::optional<std::wstring> firstDemoEntry(std::span<const uint8_t> listing) {
    const std::string_view all(reinterpret_cast<const char*>(listing.data()), listing.size());
    LineSplitter lines(all);
    std::string_view line;
    while (lines.next(line)) {
        // Overlong lines are skipped whole: cutting one could make another name.
        // An OEM character takes one or two bytes, so longer lines need no conversion.
        if (line.size() > 2 * kMaxEntryLength) continue;
        std::wstring entry = platform::oemToWide(line);
        if (entry.size() > kMaxEntryLength || !endsWithDem(entry)) continue;
        if (!isSafeEntryName(entry)) continue;
        return entry;
    }
    return std::nullopt;
}

}  // namespace rw::app
