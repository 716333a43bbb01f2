#include "catalogue/catalogue.h"

#include <cstring>

#include "platform/exception.h"

namespace catalogue {

std::array<std::unique_ptr<WinEntry>, kCapacity> win_list;
int win_ptr = 0;

namespace {

constexpr int kTitleCapacity = 255;  // terminator included: titles of up to 254 bytes
constexpr std::size_t kShortestTitle = 3;

// The length of a UTF-8 title without the incomplete character that a cut may have left at
// its end. Bytes that are no UTF-8 at all are left as they are.
std::size_t WithoutCutCharacter(const char* title, std::size_t length) {
    for (std::size_t back = 1; back <= 4 && back <= length; ++back) {
        const auto byte = static_cast<unsigned char>(title[length - back]);
        if ((byte & 0xC0) == 0x80) continue;  // a continuation byte: look further back
        const std::size_t needed = byte >= 0xF8   ? 1
                                   : byte >= 0xF0 ? 4
                                   : byte >= 0xE0 ? 3
                                   : byte >= 0xC0 ? 2
                                                  : 1;
        return back < needed ? length - back : length;
    }
    return length;
}

// Since Windows 8 the window manager may keep a window off the screen while it counts as
// visible (cloaked): a suspended store app, a window on another virtual desktop. Where it
// cannot be asked (Windows 7, no window manager) the window is on the screen; what a failed
// call left in the value is no answer.
bool IsCloaked(platform::Desktop& desktop, platform::WindowHandle window) {
    std::uint32_t cloaked = 0;
    return desktop.DwmGetWindowAttribute(window, platform::kDwmwaCloaked, &cloaked,
                                         sizeof cloaked) >= 0 &&
           cloaked != 0;
}

// The list repaints once, when the refresh ends, also when it ends with an error.
class ListUpdate {
public:
    explicit ListUpdate(ItemList& list) : list_(list) { list_.BeginUpdate(); }
    ListUpdate(const ListUpdate&) = delete;
    ListUpdate& operator=(const ListUpdate&) = delete;
    ~ListUpdate() { list_.EndUpdate(); }

private:
    ItemList& list_;
};

}  // namespace

void CreateEntries() {
    for (auto& entry : win_list) entry = std::make_unique<WinEntry>();
}

std::exception_ptr CreateAndRefresh(platform::Desktop& desktop, ItemList& list) {
    CreateEntries();
    win_ptr = 0;
    try {
        refreshwindows(desktop, list);
    } catch (...) {
        return std::current_exception();
    }
    return nullptr;
}

bool EnumWindowsProc(platform::WindowHandle window, std::intptr_t context) noexcept {
    auto& enumeration = *reinterpret_cast<Enumeration*>(context);
    try {
        platform::Desktop& desktop = enumeration.desktop;
        char title[kTitleCapacity] = {};
        desktop.GetWindowTextA(window, title, kTitleCapacity);
        std::size_t length = strnlen(title, kTitleCapacity);
        // A title that filled the buffer may have been cut inside a character, which Windows
        // need not avoid; a title that was not cut is kept exactly as read.
        if (length == kTitleCapacity - 1 && desktop.GetACP() == platform::kCpUtf8) {
            length = WithoutCutCharacter(title, length);
        }

        // Cheapest first: few windows are left to ask the window manager about.
        if (length >= kShortestTitle && desktop.IsWindowVisible(window) &&
            !IsCloaked(desktop, window)) {
            WinEntry& entry = *win_list[static_cast<std::size_t>(win_ptr)];
            entry.wincaption.assign(title, length);
            entry.winhandle = std::to_string(window);
            entry.winowner = desktop.GetWindowOwner(window);
            ++win_ptr;
        }
        return win_ptr < kCapacity;  // a full catalogue ends the enumeration
    } catch (...) {
        enumeration.error = std::current_exception();
        return false;
    }
}

void refreshwindows(platform::Desktop& desktop, ItemList& list) {
    win_ptr = 0;
    Enumeration enumeration{desktop, nullptr};
    desktop.EnumWindows(&EnumWindowsProc, reinterpret_cast<std::intptr_t>(&enumeration));
    if (enumeration.error) win_ptr = 0;
    std::size_t bytes = 0;
    for (int i = 0; i < win_ptr; ++i) {
        bytes += win_list[static_cast<std::size_t>(i)]->wincaption.size();
    }
    const ListUpdate update(list);
    list.Clear(win_ptr, bytes);
    if (enumeration.error) std::rethrow_exception(enumeration.error);
    for (int i = 0; i < win_ptr; ++i) {
        if (!list.Add(win_list[static_cast<std::size_t>(i)]->wincaption)) {
            throw platform::Exception(L"Unable to insert a line");
        }
    }
}

}  // namespace catalogue
