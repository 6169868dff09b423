#include "app/window_input_win32.h"

#include <shellapi.h>
#include <windowsx.h>

#include <cstring>
#include <vector>

#include "analysis/check_report.h"
#include "app/command_rule.h"
#include "app/file_to_check.h"
#include "app/result_board_win32.h"
#include "app/run_graph_file_win32.h"
#include "app/startup_values_win32.h"
#include "platform/text.h"
#include "platform/win32/handle.h"

namespace rw::app {
namespace {

using DropHandle = platform::UniqueHandle<platform::NullHandleTraits<HDROP, DragFinish>>;
using UniqueMenu = platform::UniqueHandle<platform::NullHandleTraits<HMENU, DestroyMenu>>;
using GlobalMemory = platform::UniqueHandle<platform::NullHandleTraits<HGLOBAL, GlobalFree>>;

class OpenClipboardScope {
public:
    explicit OpenClipboardScope(HWND owner) : open_(OpenClipboard(owner) != 0) {}
    OpenClipboardScope(const OpenClipboardScope&) = delete;
    OpenClipboardScope& operator=(const OpenClipboardScope&) = delete;
    ~OpenClipboardScope() {
        if (open_) CloseClipboard();
    }
    bool open() const { return open_; }

private:
    bool open_;
};

// Windows text on the clipboard ends its lines with CR LF.
std::wstring withCrLf(std::wstring_view text) {
    std::wstring out;
    out.reserve(text.size() + text.size() / 16);
    for (const wchar_t c : text) {
        if (c == L'\n') out += L'\r';
        out += c;
    }
    return out;
}

std::wstring resultText() {
    const ResultSnapshot shown = resultBoard().snapshot();
    const RecordsDatabase* records = startupValues().records.peek();
    return withCrLf(platform::utf8ToWide(toText(makeReport({}, shown.fields, shown.status, records))));
}

}  // namespace

std::optional<std::wstring> takeDroppedFile(HDROP drop) {
    const DropHandle owned(drop);
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    std::vector<DroppedItem> items;
    items.reserve(count);
    for (UINT i = 0; i < count; ++i) {
        const UINT length = DragQueryFileW(drop, i, nullptr, 0);
        if (length == 0) continue;
        std::wstring path(length + 1, L'\0');
        path.resize(DragQueryFileW(drop, i, path.data(), length + 1));
        const DWORD attributes = GetFileAttributesW(path.c_str());
        const bool folder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
        items.push_back(DroppedItem{std::move(path), folder});
    }
    return droppedFileToCheck(items);
}

bool copyResult(HWND window) {
    const std::wstring text = resultText();
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    GlobalMemory memory(GlobalAlloc(GMEM_MOVEABLE, bytes));
    if (!memory) return false;
    void* data = GlobalLock(memory.get());
    if (!data) return false;
    std::memcpy(data, text.c_str(), bytes);
    GlobalUnlock(memory.get());

    const OpenClipboardScope clipboard(window);
    if (!clipboard.open() || !EmptyClipboard()) return false;
    if (!SetClipboardData(CF_UNICODETEXT, memory.get())) return false;
    memory.release();  // the clipboard owns it now
    return true;
}

void showResultMenu(HWND window, LPARAM screenPoint, bool resultShown) {
    POINT at{GET_X_LPARAM(screenPoint), GET_Y_LPARAM(screenPoint)};
    if (screenPoint == -1) {
        at = POINT{};
        ClientToScreen(window, &at);
    }
    const UniqueMenu menu(CreatePopupMenu());
    if (!menu) return;
    AppendMenuW(menu.get(), MF_STRING | (resultShown ? MF_ENABLED : MF_GRAYED), kCopyShortcutId, L"Copy result");
    const std::shared_ptr<const std::string> graph = resultShown ? resultBoard().snapshot().fields.runGraph : nullptr;
    AppendMenuW(menu.get(), MF_STRING | (graph ? MF_ENABLED : MF_GRAYED), kShowGraphId, L"Show run graph");
    const BOOL chosen = TrackPopupMenu(menu.get(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, 0,
                                       window, nullptr);
    if (chosen == kCopyShortcutId) copyResult(window);
    if (chosen == kShowGraphId && graph && !openRunGraph(window, *graph))
        MessageBoxW(window, L"The run graph could not be opened.", L"Runwarden", MB_OK | MB_ICONWARNING);
}

}  // namespace rw::app
