#include "catalogue/catalogue.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes.h"
#include "platform/exception.h"

namespace {

using catalogue::win_list;
using catalogue::win_ptr;

class CatalogueTest : public ::testing::Test {
protected:
    void SetUp() override { catalogue::CreateEntries(); }

    void Refresh() { catalogue::refreshwindows(desktop, list); }
    std::vector<std::string> Handles() const {
        std::vector<std::string> handles;
        for (int i = 0; i < win_ptr; ++i) handles.push_back(win_list[static_cast<std::size_t>(i)]->winhandle);
        return handles;
    }
    std::vector<std::string> Captions() const {
        std::vector<std::string> captions;
        for (int i = 0; i < win_ptr; ++i) captions.push_back(win_list[static_cast<std::size_t>(i)]->wincaption);
        return captions;
    }

    fakes::SimDesktop desktop;
    fakes::FakeList list{desktop.world()};
};

TEST_F(CatalogueTest, ListsVisibleWindowsWithTitlesLongerThanTwoBytes) {
    desktop.AddWindow(1, "ab");
    desktop.AddWindow(2, "abc");
    desktop.AddWindow(3, "");
    desktop.AddWindow(4, "A hidden window", false);
    desktop.AddWindow(5, "\x82\xa0\x82\xa2");  // two double-byte characters: four bytes
    desktop.AddWindow(6, "\x82\xa0");          // one: two bytes
    desktop.AddWindow(7, "xyz", false);
    Refresh();
    EXPECT_EQ(win_ptr, 2);
    EXPECT_EQ(Handles(), (std::vector<std::string>{"2", "5"}));
    EXPECT_EQ(list.items, (std::vector<std::string>{"abc", "\x82\xa0\x82\xa2"}));
    EXPECT_EQ(desktop.Visited(), 7u);
}

TEST_F(CatalogueTest, KeepsZOrderAndDuplicates) {
    desktop.AddWindow(30, "Zeta");
    desktop.AddWindow(10, "Alpha");
    desktop.AddWindow(20, "Zeta");
    desktop.AddWindow(40, "Mid");
    Refresh();
    EXPECT_EQ(list.items, (std::vector<std::string>{"Zeta", "Alpha", "Zeta", "Mid"}));
    EXPECT_EQ(Captions(), list.items);
    EXPECT_EQ(Handles(), (std::vector<std::string>{"30", "10", "20", "40"}));
    // The list is emptied once the enumeration has finished, with room for the four titles'
    // 16 bytes, then filled in catalogue order, and repainted once at the end.
    EXPECT_EQ(desktop.world().Log(),
              (std::vector<std::string>{"enum-done", "begin-update", "clear 4 16", "add Zeta",
                                        "add Alpha", "add Zeta", "add Mid", "end-update"}));
}

// Since Windows 8 the window manager may keep a visible window off the screen (cloak it);
// such a window is left out like a hidden one. Where it cannot be asked, as on Windows 7,
// the window is listed.
TEST_F(CatalogueTest, LeavesOutCloakedWindows) {
    desktop.AddWindow(1, "Top");
    desktop.AddWindow(2, "On another desktop");
    desktop.AddWindow(3, "ab");
    desktop.AddWindow(4, "Hidden", false);
    desktop.AddWindow(5, "No answer");
    desktop.AddWindow(6, "Bottom");
    desktop.Cloak(2, 2);  // DWM_CLOAKED_SHELL
    desktop.FailAttributesOf(5);
    Refresh();
    EXPECT_EQ(win_ptr, 3);
    EXPECT_EQ(Handles(), (std::vector<std::string>{"1", "5", "6"}));
    EXPECT_EQ(list.items, (std::vector<std::string>{"Top", "No answer", "Bottom"}));
    // Only windows that are otherwise listed are asked about.
    EXPECT_EQ(desktop.AttributeQueries(), 4u);
}

TEST_F(CatalogueTest, HandleTextIsUnsignedDecimal) {
    desktop.AddWindow(7, "Seven");
    desktop.AddWindow(0x80000000u, "Half way");
    desktop.AddWindow(0xFFFFFFFFu, "Top handle");
    desktop.AddWindow(0x0001000Au, "Padded");
    Refresh();
    EXPECT_EQ(Handles(), (std::vector<std::string>{"7", "2147483648", "4294967295", "65546"}));
}

TEST_F(CatalogueTest, LongTitlesArriveCutAt254Bytes) {
    desktop.AddWindow(1, std::string(300, 'a'));
    desktop.AddWindow(2, std::string(255, 'b'));
    desktop.AddWindow(3, std::string(254, 'c'));
    desktop.AddWindow(4, std::string(253, 'd'));
    Refresh();
    ASSERT_EQ(list.items.size(), 4u);
    EXPECT_EQ(list.items[0], std::string(254, 'a'));
    EXPECT_EQ(list.items[1], std::string(254, 'b'));
    EXPECT_EQ(list.items[2], std::string(254, 'c'));
    EXPECT_EQ(list.items[3], std::string(253, 'd'));
    EXPECT_EQ(Captions(), list.items);
}

// In UTF-8 a cut may fall inside a character: a title that filled the buffer loses the
// incomplete character at its end; any other title is kept as read.
TEST_F(CatalogueTest, ACutInsideAUtf8CharacterDropsThatCharacter) {
    const std::string zhong = "\xe4\xb8\xad";      // a Chinese character, 3 bytes
    const std::string smile = "\xf0\x9f\x98\x80";  // an emoji, 4 bytes
    desktop.AddWindow(1, std::string(253, 'a') + zhong);       // cut after its first byte
    desktop.AddWindow(2, std::string(252, 'b') + zhong);       // after its second
    desktop.AddWindow(3, std::string(251, 'c') + zhong);       // fills the buffer whole
    desktop.AddWindow(4, std::string(251, 'd') + smile);       // after three of its four
    desktop.AddWindow(5, std::string(253, 'e') + "\xc3\xa9");  // an e acute, after one of two
    desktop.AddWindow(6, "Not cut \xe4\xb8");
    Refresh();
    EXPECT_EQ(list.items,
              (std::vector<std::string>{std::string(253, 'a'), std::string(252, 'b'),
                                        std::string(251, 'c') + zhong, std::string(251, 'd'),
                                        std::string(253, 'e'), "Not cut \xe4\xb8"}));
    EXPECT_EQ(Captions(), list.items);

    // In another code page (Windows before 1903) those bytes are characters of their own.
    desktop.SetCodePage(1252);
    Refresh();
    ASSERT_EQ(list.items.size(), 6u);
    EXPECT_EQ(list.items[0], std::string(253, 'a') + "\xe4");
    EXPECT_EQ(list.items[3], std::string(251, 'd') + "\xf0\x9f\x98");
}

TEST_F(CatalogueTest, NoQualifyingWindowLeavesAnEmptyList) {
    desktop.AddWindow(1, "Old one");
    desktop.AddWindow(2, "Old two");
    Refresh();
    ASSERT_EQ(win_ptr, 2);

    fakes::SimDesktop bare;
    bare.AddWindow(9, "no", true);
    bare.AddWindow(10, "Invisible", false);
    catalogue::refreshwindows(bare, list);
    EXPECT_EQ(win_ptr, 0);
    EXPECT_TRUE(list.items.empty());

    fakes::SimDesktop empty;
    catalogue::refreshwindows(empty, list);
    EXPECT_EQ(win_ptr, 0);
    EXPECT_TRUE(list.items.empty());
}

TEST_F(CatalogueTest, StopsAtTheCapacityOf5121) {
    constexpr int kWindows = 6000;
    for (int i = 1; i <= kWindows; ++i) {
        desktop.AddWindow(static_cast<platform::WindowHandle>(i), "Window " + std::to_string(i));
    }
    Refresh();
    EXPECT_EQ(win_ptr, 5121);
    ASSERT_EQ(list.items.size(), 5121u);
    EXPECT_EQ(desktop.Visited(), 5121u);  // the enumeration ends with the last slot
    for (int i = 0; i < win_ptr; ++i) {
        const auto slot = static_cast<std::size_t>(i);
        ASSERT_EQ(list.items[slot], "Window " + std::to_string(i + 1));
        ASSERT_EQ(win_list[slot]->winhandle, std::to_string(i + 1));
    }
}

// A refused item raises "Unable to insert a line" from a refresh; at the start the same
// error is handed back to be shown, and the window opens with what the list took.
TEST_F(CatalogueTest, ARefusedItemRaisesUnableToInsertALine) {
    for (int i = 1; i <= 5; ++i) desktop.AddWindow(static_cast<platform::WindowHandle>(i), "Window " + std::to_string(i));
    list.refuse_at = 2;
    for (const bool at_start : {false, true}) {
        SCOPED_TRACE(at_start ? "at the start" : "on Refresh");
        list.items.clear();
        std::exception_ptr failure;
        try {
            failure = at_start ? catalogue::CreateAndRefresh(desktop, list) : (Refresh(), nullptr);
        } catch (...) {
            failure = at_start ? nullptr : std::current_exception();
        }
        try {
            ASSERT_TRUE(failure) << "no error";
            std::rethrow_exception(failure);
        } catch (const platform::Exception& error) {
            EXPECT_EQ(error.Message(), L"Unable to insert a line");
        }
        EXPECT_EQ(win_ptr, 5);
        EXPECT_EQ(list.items, (std::vector<std::string>{"Window 1", "Window 2"}));
        // The list repaints again all the same.
        EXPECT_EQ(desktop.world().Log().back(), "end-update");
    }
}

// An error inside the enumeration does not cross the window system: it ends the enumeration,
// empties list and catalogue alike (no item may name a window the catalogue lost), and is
// raised again for the error box.
TEST_F(CatalogueTest, AnErrorInTheEnumerationAbandonsTheRefresh) {
    for (int i = 1; i <= 3; ++i) desktop.AddWindow(static_cast<platform::WindowHandle>(i), "Window " + std::to_string(i));
    Refresh();
    ASSERT_EQ(list.items.size(), 3u);
    desktop.FailTitleOf(2);
    EXPECT_THROW(Refresh(), std::bad_alloc);
    EXPECT_EQ(desktop.Visited(), 2u);
    EXPECT_EQ(win_ptr, 0);
    EXPECT_TRUE(list.items.empty());
}

}  // namespace
