#pragma once
// The Windows side of the update pass: the process's command line, file
// deletion and moves, the module path, starting the updated program, and the
// two message boxes and the final close, all owned by the main window.
#include <windows.h>

#include "update/self_update.h"

namespace rw::app {

// The update pass marks its own WM_CLOSE (sent once the new program runs) with
// this wParam; any other close request comes from the user.
inline constexpr WPARAM kCloseAfterUpdate = 0x5257;

// True when the window must ignore this message: a close from the user
// (WM_CLOSE, or SC_CLOSE from the title bar, system menu or Alt+F4) while the
// update pass holds closing off, as the program file is being swapped.
bool refusesClose(UINT message, WPARAM wParam);

class Win32UpdateHost : public UpdateHost {
public:
    explicit Win32UpdateHost(HWND mainWindow) : mainWindow_(mainWindow) {}

    std::vector<std::wstring> commandLineArguments() override;
    bool deleteFile(const std::filesystem::path& path) override;
    bool fileExists(const std::filesystem::path& path) override;
    void sleepMilliseconds(uint32_t ms) override;
    uint64_t steadyMilliseconds() override;
    std::optional<std::filesystem::path> modulePath() override;
    bool moveFile(const std::filesystem::path& from, const std::filesystem::path& to) override;
    bool startProgram(const std::filesystem::path& file, std::wstring_view parameters) override;
    void showChangeLog(const std::string& text) override;
    bool confirmUpdate() override;
    void closeMainWindow() override;
    void holdClose(bool hold) override;

private:
    HWND mainWindow_;
};

}  // namespace rw::app
