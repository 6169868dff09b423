#include <windows.h>

#include "platform/text.h"

namespace rw::platform {
namespace {

std::wstring toWide(UINT codePage, std::string_view bytes) {
    if (bytes.empty()) return {};
    const int n = MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), out.data(), n);
    return out;
}

std::string fromWide(UINT codePage, std::wstring_view text) {
    if (text.empty()) return {};
    const int n = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

}  // namespace

std::wstring oemToWide(std::string_view bytes) { return toWide(CP_OEMCP, bytes); }
std::string wideToOem(std::wstring_view text) { return fromWide(CP_OEMCP, text); }
std::string wideToUtf8(std::wstring_view text) { return fromWide(CP_UTF8, text); }
std::wstring utf8ToWide(std::string_view text) { return toWide(CP_UTF8, text); }

}  // namespace rw::platform
