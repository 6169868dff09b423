#include "app/file_to_check.h"

#include <cwctype>

#include "update/self_update.h"

namespace rw::app {
namespace {

bool endsWithNoCase(std::wstring_view text, std::wstring_view tail) {
    if (text.size() < tail.size()) return false;
    text.remove_prefix(text.size() - tail.size());
    for (size_t i = 0; i < tail.size(); ++i)
        if (static_cast<wchar_t>(std::towlower(text[i])) != tail[i]) return false;
    return true;
}

}  // namespace

std::optional<std::wstring> droppedFileToCheck(std::span<const DroppedItem> items) {
    for (const DroppedItem& item : items)
        for (std::wstring_view extension : {L".dem", L".rar", L".zip", L".7z"})
            if (!item.folder && endsWithNoCase(item.path, extension)) return item.path;
    return std::nullopt;
}

std::wstring dialogFilter(std::span<const std::wstring> archiveExtensions) {
    std::wstring names = L"*.dem", patterns = L"*.dem";
    for (const std::wstring& extension : archiveExtensions) {
        names += L"; *" + extension;
        patterns += L";*" + extension;
    }
    using namespace std::string_literals;
    return L"Demo Files ("s + names + L")\0"s + patterns + L"\0All Files (*.*)\0*.*\0"s;
}

std::optional<std::wstring> commandLineFile(std::span<const std::wstring> args) {
    for (size_t i = 1; i < args.size(); ++i) {
        const std::wstring_view arg = args[i];
        if (arg.empty() || arg.starts_with(kDeleteSwitch)) continue;
        return args[i];
    }
    return std::nullopt;
}

}  // namespace rw::app
