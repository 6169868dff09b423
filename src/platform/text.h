#pragma once
// Text conversion between the 8-bit texts of demos, listings and records lists
// (OEM code page) and the wide text the program shows.
#include <string>
#include <string_view>

namespace rw::platform {

std::wstring oemToWide(std::string_view bytes);
// Characters the OEM code page cannot hold become '?'.
std::string wideToOem(std::wstring_view text);
std::string wideToUtf8(std::wstring_view text);
std::wstring utf8ToWide(std::string_view text);

}  // namespace rw::platform
