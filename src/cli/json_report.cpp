#include "cli/json_report.h"

#include <charconv>
#include <cstdio>

#include "base/utf8.h"

namespace rw::cli {
namespace {

std::string numberText(float value) {
    char buf[32];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    if (ec != std::errc()) return "0";
    return std::string(buf, end);
}

}  // namespace

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
        } else if (size_t len = decodeUtf8(text, i).length) {
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
        for (size_t i = 0; i < items.size(); ++i) {
            if (i) s += ',';
            s += jsonString(items[i]);
        }
        return s + "]";
    };
    std::string s = "{";
    s += "\"file\":" + jsonString(r.file);
    s += ",\"entry\":" + (r.entry.empty() ? std::string("null") : jsonString(r.entry));
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
    if (r.graph) s += ",\"graph\":" + (r.graph->empty() ? std::string("null") : jsonString(*r.graph));
    s += "}";
    return s;
}

}  // namespace rw::cli
