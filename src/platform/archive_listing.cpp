#include "platform/archive_listing.h"

#include <algorithm>
#include <array>

#include "base/line_splitter.h"

namespace rw::platform {
namespace {

bool forbiddenCharacter(wchar_t c) {
    if (c < 0x20 || c == 0x7F) return true;
    switch (c) {
        case L'<': case L'>': case L':': case L'"': case L'|': case L'?': case L'*': case L'%':
            return true;
        default:
            return false;
    }
}

bool separator(wchar_t c) { return c == L'\\' || c == L'/'; }

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
    return std::none_of(component.begin(), component.end(), forbiddenCharacter) && !deviceName(component);
}

bool endsWithDem(std::wstring_view line) { return line.size() >= 4 && line.substr(line.size() - 4) == L".dem"; }

// bsdtar writes a backslash as \\, a few controls as \a \b \f \n \r \t \v
// and other unprintable bytes as \ooo.
std::string unescapeTarName(std::string_view line) {
    std::string name;
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] != '\\' || i + 1 == line.size()) {
            name += line[i];
            continue;
        }
        const char c = line[++i];
        static constexpr std::string_view letters = "abfnrtv", controls = "\a\b\f\n\r\t\v";
        if (const size_t k = letters.find(c); k != std::string_view::npos) {
            name += controls[k];
        } else if (c >= '0' && c <= '3' && line.size() - i >= 3 && line[i + 1] >= '0' && line[i + 1] <= '7' &&
                   line[i + 2] >= '0' && line[i + 2] <= '7') {
            name += static_cast<char>((c - '0') * 64 + (line[i + 1] - '0') * 8 + (line[i + 2] - '0'));
            i += 2;
        } else {
            name += c == '\\' ? "\\" : std::string{'\\', c};  // not bsdtar's: kept as it stands
        }
    }
    return name;
}

std::optional<std::wstring> demoEntry(std::string_view name, ListingDecoder decode) {
    // Overlong names are skipped whole: cutting one could make another name.
    // A character takes at most four bytes, so longer names need no conversion.
    if (name.size() > 4 * kMaxEntryLength) return std::nullopt;
    std::wstring entry = decode(name);
    if (entry.size() > kMaxEntryLength || !endsWithDem(entry) || !isSafeEntryName(entry)) return std::nullopt;
    return entry;
}

}  // namespace

uint64_t maxListingSize(Archiver kind) { return kind == Archiver::rar ? 1u << 20 : 8u << 20; }

bool isSafeEntryName(std::wstring_view entry) {
    if (entry.empty() || entry.size() > kMaxEntryLength) return false;
    if (entry.front() == L'-' || entry.front() == L'@') return false;
    size_t start = 0;
    while (true) {
        const auto end = std::find_if(entry.begin() + static_cast<ptrdiff_t>(start), entry.end(), separator);
        const size_t stop = static_cast<size_t>(end - entry.begin());
        if (!safeComponent(entry.substr(start, stop - start))) return false;
        if (end == entry.end()) return true;
        start = stop + 1;
    }
}

std::wstring_view entryFileName(std::wstring_view entry) {
    const auto last = std::find_if(entry.rbegin(), entry.rend(), separator);
    return entry.substr(static_cast<size_t>(entry.rend() - last));
}

std::optional<std::wstring> firstDemoEntry(Archiver kind, std::span<const uint8_t> listing, ListingDecoder decode) {
    const std::string_view all(reinterpret_cast<const char*>(listing.data()), listing.size());
    LineSplitter lines(all);
    std::string_view line;
    bool entries = kind != Archiver::sevenZip;  // 7-Zip first describes the archive itself
    std::optional<std::wstring> candidate;      // 7-Zip: the block's path, unless the block is a folder's
    while (lines.next(line)) {
        if (kind == Archiver::rar) {
            if (auto entry = demoEntry(line, decode)) return entry;
        } else if (kind == Archiver::tar) {
            if (auto entry = demoEntry(unescapeTarName(line), decode)) return entry;
        } else if (!entries) {
            entries = line == "----------";
        } else if (line.starts_with("Path = ")) {
            candidate = demoEntry(line.substr(7), decode);
        } else if (line == "Folder = +" || line.starts_with("Attributes = D")) {
            candidate.reset();
        } else if (line.empty() && candidate) {
            return candidate;
        }
    }
    return candidate;
}

}  // namespace rw::platform
