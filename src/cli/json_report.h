#pragma once
// runwarden-check's JSON line for one demo; its text is the shared report text.
#include <string>

#include "analysis/check_report.h"

namespace rw::cli {

std::string toJsonLine(const CheckReport& report);
// A JSON string literal, quotes included; bytes that are not valid UTF-8 become U+FFFD.
std::string jsonString(const std::string& text);

}  // namespace rw::cli
