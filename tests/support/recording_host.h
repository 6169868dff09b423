#pragma once
// An UpdateHost for tests: file operations are real; the prompts, the program
// start, the close and the clock are recorded or scripted.
#include <filesystem>
#include <functional>

#include "platform/text.h"
#include "update/self_update.h"

namespace rw::test {

struct RecordingHost : UpdateHost {
    using Path = std::filesystem::path;
    std::vector<std::wstring> args{L"C:\\Games\\Runwarden.exe"};
    bool answerYes = false;
    bool startSucceeds = true;
    std::optional<Path> ownPath;
    std::vector<std::string> events;
    std::vector<std::string> changeLogs;
    uint64_t clockMs = 0;
    std::function<void(const Path& from)> beforeMove;  // an attacker's moment

    std::vector<std::wstring> commandLineArguments() override { return args; }
    bool deleteFile(const Path& file) override {
        std::error_code ec;
        return std::filesystem::remove(file, ec);  // like DeleteFileW: false for a missing file
    }
    bool fileExists(const Path& file) override { return std::filesystem::exists(file); }
    void sleepMilliseconds(uint32_t ms) override { clockMs += ms; }
    uint64_t steadyMilliseconds() override { return clockMs; }
    std::optional<Path> modulePath() override {
        events.push_back("module path");
        return ownPath;
    }
    bool moveFile(const Path& from, const Path& to) override {
        events.push_back("move " + from.filename().string() + " > " + to.filename().string());
        if (beforeMove) beforeMove(from);
        std::error_code ec;
        if (!std::filesystem::exists(to)) std::filesystem::rename(from, to, ec);  // MoveFileW does not replace
        return !ec && !std::filesystem::exists(from);
    }
    bool startProgram(const Path& file, std::wstring_view parameters) override {
        events.push_back("start " + file.filename().string() + " " + platform::wideToUtf8(parameters));
        return startSucceeds;
    }
    void showChangeLog(const std::string& text) override {
        events.push_back("change log");
        changeLogs.push_back(text);
    }
    bool confirmUpdate() override {
        events.push_back("prompt");
        return answerYes;
    }
    void closeMainWindow() override { events.push_back("close"); }
    void holdClose(bool) override {}
};

}  // namespace rw::test
