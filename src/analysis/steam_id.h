#pragma once
// The recording player's SteamID: the 64-bit decimal digits found in a demo
// become the familiar "STEAM_0:parity:account" text and a profile address.
#include <string>

#include "base/check_result.h"

namespace rw {

// Reads the digits (at most 17 characters) as an unsigned decimal number the
// way "%llu" does: leading white space skipped, reading stops at the first
// non-digit. The digits are first cut at 17 characters (a zero is written
// after them). On success fills the account number, parity and text and sets
// valid; with no number nothing else changes and the answer is false.
bool convertSteamId(SteamIdRecord& record);

// "http://<profile host>/profiles/<digits as stored>".
std::wstring profileAddress(const SteamIdRecord& record);

}  // namespace rw
