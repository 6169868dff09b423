#include "analysis/steam_id.h"

#include <cstring>
#include <string_view>

#include "platform/text.h"
#include "rw_config.h"

namespace rw {
namespace {

constexpr size_t kMaxDigits = 17;

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool convertSteamId(SteamIdRecord& record) {
    record.digits[kMaxDigits] = '\0';
    const char* p = record.digits.data();
    while (isSpace(*p)) ++p;
    if (!isDigit(*p)) return false;
    // 17 digits stay far below 2^64, so this cannot overflow.
    uint64_t number = 0;
    for (; isDigit(*p); ++p) number = number * 10 + static_cast<uint64_t>(*p - '0');

    // Individual accounts keep the account number in bits 1 to 31 and the
    // parity in bit 0; the upper half (universe, type, instance) is ignored.
    const auto low = static_cast<uint32_t>(number);
    record.parity = low & 1u;
    record.accountNumber = low >> 1;
    std::wstring text = L"STEAM_0:";
    text += record.parity ? L"1:" : L"0:";
    text += std::to_wstring(record.accountNumber);
    record.text.assign(text);
    record.valid = 1;
    return true;
}

std::wstring profileAddress(const SteamIdRecord& record) {
    const std::string_view digits(record.digits.data(), strnlen(record.digits.data(), record.digits.size()));
    std::wstring address = L"http://";
    address += platform::oemToWide(RW_PROFILE_HOST);
    address += L"/profiles/";
    address += platform::oemToWide(digits);
    return address;
}

}  // namespace rw
