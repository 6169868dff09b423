#include "cli/check_report.h"

#include <charconv>
#include <cstdio>

#include "analysis/steam_id.h"
#include "platform/text.h"

namespace rw::cli {
namespace {

std::string utf8(const WideText& text) { return platform::wideToUtf8(text.view()); }

std::string numberText(float value) {
    char buf[32];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    if (ec != std::errc()) return "0";
    return std::string(buf, end);
}

// Length of the valid UTF-8 sequence at s[i], or 0.
size_t utf8Length(const std::string& s, size_t i) {
    const auto b = static_cast<unsigned char>(s[i]);
    size_t len = b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 0;
    if (len == 0 || len > s.size() - i) return 0;
    for (size_t k = 1; k < len; ++k)
        if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 0;
    return len;
}

}  // namespace

CheckReport makeReport(const std::string& file, const CheckResult& result, const RecordsDatabase* records) {
    CheckReport r;
    r.file = file;
    r.status = result.status();
    const bool finished = r.status == status::finished;
    if (!finished) r.message = utf8(result.messageText);
    r.demo = utf8(result.demoName);
    r.map = utf8(result.mapName);
    r.player = utf8(result.playerName);
    if (result.steamId.valid) {
        r.steamId = utf8(result.steamId.text);
        r.profileAddress = platform::wideToUtf8(profileAddress(result.steamId));
    }
    r.time = finished ? utf8(result.runTimeText) : "--:--.--";
    if (finished) {
        r.fps = utf8(result.averageFpsText);
        r.fpsAverage = result.averageFps;
        for (const WideText& line : result.settingsLines)
            if (!line.empty()) r.settings.push_back(utf8(line));
    }
    if (records) {
        const std::string_view key = result.mapKeyView();
        const uint32_t n = records->runCount(key);
        for (uint32_t i = 0; i < n; ++i)
            r.worldRecords.push_back(platform::wideToUtf8(platform::oemToWide(records->runAt(key, i))));
    }
    return r;
}

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
            ++i;
        } else if (c < 0x20) {
            static const char* hex = "0123456789abcdef";
            switch (c) {
                case '\n': out += "\\n"; break;
                case '\r': out += "\\r"; break;
                case '\t': out += "\\t"; break;
                default:
                    out += "\\u00";
                    out += hex[c >> 4];
                    out += hex[c & 0xF];
            }
            ++i;
        } else if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
        } else if (size_t len = utf8Length(text, i)) {
            out.append(text, i, len);
            i += len;
        } else {
            out += "\\ufffd";
            ++i;
        }
    }
    out += '"';
    return out;
}

std::string toJsonLine(const CheckReport& r) {
    auto list = [](const std::vector<std::string>& items) {
        std::string s = "[";
        for (size_t i = 0; i < items.size(); ++i) s += (i ? "," : "") + jsonString(items[i]);
        return s + "]";
    };
    std::string s = "{";
    s += "\"file\":" + jsonString(r.file);
    s += ",\"status\":" + std::to_string(r.status);
    s += ",\"message\":" + jsonString(r.message);
    s += ",\"demo\":" + jsonString(r.demo);
    s += ",\"map\":" + jsonString(r.map);
    s += ",\"player\":" + jsonString(r.player);
    s += ",\"steamid\":" + (r.steamId ? jsonString(*r.steamId) : std::string("null"));
    s += ",\"time\":" + jsonString(r.time);
    s += ",\"fps\":" + jsonString(r.fps);
    s += ",\"fps_average\":" + numberText(r.fpsAverage);
    s += ",\"settings\":" + list(r.settings);
    s += ",\"world_records\":" + list(r.worldRecords);
    s += "}";
    return s;
}

std::string toText(const CheckReport& r) {
    std::string s = r.file + "\n";
    auto row = [&s](const char* label, const std::string& value) {
        s += "  ";
        s += label;
        s.append(15 - std::char_traits<char>::length(label), ' ');
        s += value + "\n";
    };
    if (r.status != status::finished) {
        if (!r.map.empty()) row("Map:", r.map);
        row("Rejected:", r.message);
        return s;
    }
    row("Demo:", r.demo);
    row("Name:", r.player);
    row("SteamID:", r.steamId ? *r.steamId + "  " + r.profileAddress : "----");
    row("Map:", r.map);
    row("Time:", r.time);
    if (r.worldRecords.empty()) {
        row("World Record:", "");
    } else {
        for (size_t i = 0; i < r.worldRecords.size(); ++i) row(i == 0 ? "World Record:" : "", r.worldRecords[i]);
    }
    row("Fps:", r.fps);
    if (r.settings.empty()) {
        row("Settings:", "all settings correct");
    } else {
        for (size_t i = 0; i < r.settings.size(); ++i) row(i == 0 ? "Settings:" : "", r.settings[i]);
    }
    return s;
}

}  // namespace rw::cli
