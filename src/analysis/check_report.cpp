#include "analysis/check_report.h"

#include "analysis/steam_id.h"
#include "platform/text.h"

namespace rw {
namespace {

std::string utf8(const WideText& text) { return platform::wideToUtf8(text.view()); }

}  // namespace

CheckReport makeReport(const std::string& file, const ResultFields& result, int32_t status,
                       const RecordsDatabase* records) {
    CheckReport r;
    r.file = file;
    r.status = status;
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

std::string toText(const CheckReport& r) {
    std::string s = r.file.empty() ? std::string() : r.file + "\n";
    auto row = [&s](const char* label, const std::string& value) {
        s += "  ";
        s += label;
        s.append(15 - std::char_traits<char>::length(label), ' ');
        s += value + "\n";
    };
    if (!r.entry.empty()) row("Entry:", r.entry);
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
    if (r.graph && !r.graph->empty()) row("Graph:", *r.graph);
    return s;
}

}  // namespace rw
