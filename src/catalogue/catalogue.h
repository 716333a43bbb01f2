// The window catalogue: the visible (and not cloaked), titled top-level windows, in z-order,
// and their titles in the main window's drop-down list. User-interface thread only.
#pragma once

#include <array>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <string_view>

#include "platform/desktop.h"

namespace catalogue {

class WinEntry {
public:
    std::string wincaption;  // the title, 8-bit text in the ANSI code page
    std::string winhandle;   // the handle as unsigned decimal text
    platform::WindowOwner winowner;  // who made the window, as the refresh found it
};

// The catalogue has room for 5121 entries; windows past the 5121st are not listed.
inline constexpr int kCapacity = 5121;

extern std::array<std::unique_ptr<WinEntry>, kCapacity> win_list;
extern int win_ptr;  // how many slots the last refresh filled

// The drop-down list the catalogue fills.
class ItemList {
public:
    // Between the two the list does not repaint; EndUpdate repaints it once.
    virtual void BeginUpdate() = 0;
    virtual void EndUpdate() noexcept = 0;
    // Empties the list, keeping the text of its edit part, and makes room for count items
    // of bytes of ANSI text in all.
    virtual void Clear(int count, std::size_t bytes) = 0;
    virtual bool Add(std::string_view title) = 0;  // ANSI text; false when the list refuses it

protected:
    ItemList() = default;
    ItemList(const ItemList&) = default;
    ItemList& operator=(const ItemList&) = default;
    ~ItemList() = default;
};

// Creates the entries once, before the first refresh.
void CreateEntries();

// The main window's start: creates the entries, raising only when their storage cannot be
// had, and fills the list. The refresh's error does not keep the window from opening: it is
// returned, to be shown as any handler's is, the list holding what the refresh took.
[[nodiscard]] std::exception_ptr CreateAndRefresh(platform::Desktop& desktop, ItemList& list);

// Rebuilds the catalogue from the desktop and refills list in catalogue order. Raises
// "Unable to insert a line" if the list refuses an item. An error in the enumeration
// abandons the refresh with the list and the catalogue empty, so that no item names a window
// the catalogue no longer holds, and is raised again.
void refreshwindows(platform::Desktop& desktop, ItemList& list);

// The enumeration's callback; context is an Enumeration. An error ends the enumeration and
// is kept in it, since none may cross the window system.
struct Enumeration {
    platform::Desktop& desktop;
    std::exception_ptr error;
};
bool EnumWindowsProc(platform::WindowHandle window, std::intptr_t context) noexcept;

}  // namespace catalogue
