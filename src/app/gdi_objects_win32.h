#pragma once
// Owning handles for the GDI objects of the window: fonts, bitmaps and
// drawing contexts, and a scoped selection that puts the old object back.
#include <windows.h>

#include <string_view>

#include "platform/win32/handle.h"

namespace rw::app {

using UniqueFont = platform::UniqueHandle<platform::NullHandleTraits<HFONT, DeleteObject>>;
using UniqueBitmap = platform::UniqueHandle<platform::NullHandleTraits<HBITMAP, DeleteObject>>;
// An off-screen drawing context: MemoryDc(CreateCompatibleDC(other)).
using MemoryDc = platform::UniqueHandle<platform::NullHandleTraits<HDC, DeleteDC>>;

// The screen's drawing context, for measuring and for compatible bitmaps:
// ScreenDc(GetDC(nullptr)).
struct ScreenDcTraits {
    using Handle = HDC;
    static Handle invalid() { return nullptr; }
    static void close(Handle h) { ReleaseDC(nullptr, h); }
};
using ScreenDc = platform::UniqueHandle<ScreenDcTraits>;

class ScopedSelect {
public:
    ScopedSelect(HDC dc, HGDIOBJ object) : dc_(dc), old_(object ? SelectObject(dc, object) : nullptr) {}
    ScopedSelect(const ScopedSelect&) = delete;
    ScopedSelect& operator=(const ScopedSelect&) = delete;
    ~ScopedSelect() {
        if (old_) SelectObject(dc_, old_);
    }

private:
    HDC dc_;
    HGDIOBJ old_;
};

// The extent of `text` in `font` on `dc`; none when it cannot be measured.
template <typename Char>
SIZE textExtent(HDC dc, HGDIOBJ font, std::basic_string_view<Char> text) {
    ScopedSelect selected(dc, font);
    SIZE extent{};
    const int length = static_cast<int>(text.size());
    bool measured = false;
    if constexpr (sizeof(Char) == 1) {
        measured = GetTextExtentPoint32A(dc, text.data(), length, &extent);
    } else {
        measured = GetTextExtentPoint32W(dc, text.data(), length, &extent);
    }
    return measured ? extent : SIZE{};
}

}  // namespace rw::app
