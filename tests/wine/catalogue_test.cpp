// The drop-down list against windows that the test makes itself: which windows are listed,
// in what order, with titles in several scripts, what "Refresh" changes and keeps, and a
// desktop with more windows than the catalogue holds. Prints the start-up and "Refresh"
// times.
// Usage: catalogue_test <jumper.exe>
#include <algorithm>

#include "driver.h"
#include "target_window.h"
#include "ui/form1_layout.h"  // control identifiers only

using namespace check;
using namespace driver;

namespace {

constexpr int kCapacity = 5121;

// A window's title as the program reads it, in its code page, UTF-8: at most 254 bytes,
// cut before the first character that does not fit whole. Read without a message to the
// window, so that thousands of the test's own windows are read in milliseconds.
std::string Utf8Title(HWND window) {
    wchar_t wide[1024] = {};
    ::InternalGetWindowText(window, wide, 1024);
    std::string title = Narrow(wide);
    if (title.size() > 254) {
        std::size_t cut = 254;
        while ((static_cast<unsigned char>(title[cut]) & 0xC0) == 0x80) --cut;
        title.resize(cut);
    }
    return title;
}

// What the window system says the list should hold: the visible top-level windows whose
// title is longer than two bytes, top of the z-order first.
std::vector<std::wstring> QualifyingTitles(HWND leave_out = nullptr) {
    std::vector<std::wstring> titles;
    for (const HWND window : TopLevelWindows()) {
        if (window == leave_out) continue;
        const std::string title = Utf8Title(window);
        if (title.size() > 2 && ::IsWindowVisible(window)) titles.push_back(Widen(title));
    }
    return titles;
}

// Wine restacks new windows a while after they are shown, as its X windows settle: waits
// until the z-order holds still, so that the program and the test see the same one.
std::vector<std::wstring> SettledTitles() {
    std::vector<std::wstring> titles = QualifyingTitles();
    for (int i = 0; i < 50; ++i) {
        ::Sleep(200);
        std::vector<std::wstring> again = QualifyingTitles();
        if (again == titles) break;
        titles = std::move(again);
    }
    return titles;
}

int CountOf(const std::vector<std::wstring>& items, const std::wstring& title) {
    return static_cast<int>(std::count(items.begin(), items.end(), title));
}

// Compares the whole list with what it should be, naming the first difference.
bool CheckList(const std::vector<std::wstring>& items, const std::vector<std::wstring>& expected,
               const char* what) {
    std::size_t i = 0;
    while (i < items.size() && i < expected.size() && items[i] == expected[i]) ++i;
    const auto at = [i](const std::vector<std::wstring>& list) {
        return i < list.size() ? Describe(list[i]) : std::string("(end)");
    };
    return Check(i == items.size() && i == expected.size(),
                 "%s: %zu items, %zu expected; first difference at %zu: %s, expected %s", what,
                 items.size(), expected.size(), i, at(items).c_str(), at(expected).c_str());
}

double TimedRefresh(const Program& program) {
    const auto start = Clock::now();
    program.Refresh();  // returns when the handler has run
    return MillisecondsSince(start);
}

const std::wstring kLongTitle = L"Long " + std::wstring(295, L'x');
const std::wstring kAccented = L"Caf\u00e9 cr\u00e8me \u03a9 target";
// Titles in other scripts, each listed exactly as it is.
const std::wstring kScripts[] = {
    L"\u4e2d\u6587\u7a97\u53e3",                      // Chinese
    L"\u041e\u043a\u043d\u043e \u0422\u0435\u0441\u0442",  // Cyrillic
    L"\u0646\u0627\u0641\u0630\u0629 \u0639\u0631\u0628\u064a\u0629",  // Arabic
    L"Emoji \U0001F600 target",
    L"\u4e2d",  // one Chinese character: 3 bytes
};
const std::wstring kOneAccent = L"\u00e9";  // 2 bytes: too short to be listed
// 300 bytes of 3-byte characters: the first 84 fit in 254 bytes.
const std::wstring kLongChinese(100, L'\u5b57');

void CheckStart(const Program& program) {
    Section("the list at start");
    const HWND combo = program.Control(ui::IdComboBox1);
    const std::vector<std::wstring> items = ComboItems(combo);
    Print("start-up with %zu windows listed: %.0f ms", items.size(),
          program.StartupMilliseconds());
    // The program's own window was not yet visible when the list was filled.
    CheckList(items, QualifyingTitles(program.Window()), "the list at start");
    Equal(CountOf(items, L"Window Jumper"), 0, "the program's own window is not listed at start");
    Equal(CountOf(items, L"Hidden target"), 0, "a hidden window is not listed");
    Equal(CountOf(items, L"Qx"), 0, "a title of two characters is not listed");
    Equal(CountOf(items, L"Qxy"), 1, "a title of three characters is listed");
    Equal(CountOf(items, L"Twin target"), 2, "two windows of one title are both listed");
    Equal(CountOf(items, L""), 0, "an untitled window is not listed");

    // Made one after another, each on top of the last: listed newest first.
    const int one = IndexOf(items, L"Order one");
    const int two = IndexOf(items, L"Order two");
    const int three = IndexOf(items, L"Order three");
    Check(three >= 0 && three < two && two < one,
          "windows are listed top of the z-order first (at %d, %d, %d)", three, two, one);

    // Titles are read as 8-bit text into 255 bytes: longer ones are cut to 254.
    Equal(CountOf(items, kLongTitle.substr(0, 254)), 1, "a long title is cut to 254 bytes");

    // The 8-bit text is UTF-8: titles in any script are listed whole, their length counted
    // in its bytes, and a cut title keeps only whole characters.
    Equal(CountOf(items, kAccented), 1, "an accented title is listed whole");
    for (const std::wstring& title : kScripts) {
        Equal(CountOf(items, title), 1, "listed whole: " + Describe(title));
    }
    Equal(CountOf(items, kOneAccent), 0, "a title of one 2-byte character is not listed");
    Equal(CountOf(items, kLongChinese.substr(0, 84)), 1,
          "a long Chinese title is cut to its first 84 characters");
    for (const std::wstring& item : items) {  // for the record
        if (std::any_of(item.begin(), item.end(), [](wchar_t c) { return c > 0x7F; })) {
            Print("listed: %s (%zu UTF-16 units)", Describe(item).c_str(), item.size());
        }
    }

    Equal(ComboSelection(combo), -1, "nothing is selected at start");
    Equal(WindowText(combo), std::wstring(), "the list's text at start");
}

void CheckRefresh(const Program& program, jumptest::TargetWindow& targets, HWND twin,
                  HWND order_two) {
    Section("Refresh");
    const HWND combo = program.Control(ui::IdComboBox1);
    ::SendMessageW(combo, CB_SETCURSEL, 1, 0);
    SetText(combo, L"typed before Refresh");
    SetUp(ComboSelection(combo) == 1, "the second item is selected");

    program.Refresh();
    std::vector<std::wstring> items = ComboItems(combo);
    CheckList(items, QualifyingTitles(), "the list after Refresh");
    // The program's own window is visible now, above the windows made before it.
    const int own = IndexOf(items, L"Window Jumper");
    Check(own >= 0 && own < IndexOf(items, L"Order three"),
          "the program's own window is listed above the older windows (at %d)", own);
    Equal(ComboSelection(combo), -1, "Refresh clears the selection");
    Equal(WindowText(combo), std::wstring(L"typed before Refresh"), "Refresh keeps the text");

    // The list follows the desktop: a window gone, one hidden, one new on top.
    targets.Destroy(order_two);
    targets.Run([&] { ::ShowWindow(twin, SW_HIDE); });
    targets.Add(L"Order four");
    const std::vector<std::wstring> expected = SettledTitles();
    program.Refresh();
    items = ComboItems(combo);
    CheckList(items, expected, "the list after windows changed");
    Equal(CountOf(items, L"Order two"), 0, "a destroyed window is no longer listed");
    Equal(CountOf(items, L"Twin target"), 1, "a window hidden since is no longer listed");
    Equal(CountOf(items, L"Order four"), 1, "a new window is listed");
    Check(IndexOf(items, L"Order four") < IndexOf(items, L"Order three"),
          "the new window is listed above the older ones");
    Equal(ComboSelection(combo), -1, "no selection after a second Refresh");
    Equal(WindowText(combo), std::wstring(L"typed before Refresh"),
          "a second Refresh keeps the text");
}

void CheckAboutFifty(const Program& program, jumptest::TargetWindow& targets) {
    Section("Refresh with about 50 windows");
    const HWND combo = program.Control(ui::IdComboBox1);
    targets.AddMany(L"Fifty ", 50 - ComboCount(combo));
    const std::vector<std::wstring> expected = SettledTitles();
    const double ms = TimedRefresh(program);
    const std::vector<std::wstring> items = ComboItems(combo);
    CheckList(items, expected, "the list of about 50");
    Print("Refresh with %zu listed windows: %.1f ms", items.size(), ms);
}

void CheckMoreThanCapacity(const Program& program, jumptest::TargetWindow& targets,
                           const std::wstring& jumper) {
    Section("more windows than the catalogue holds");
    const HWND combo = program.Control(ui::IdComboBox1);
    constexpr int kMany = 5300;
    const auto start = Clock::now();
    const std::vector<HWND> many = targets.AddMany(L"Many ", kMany);
    Print("made %zu windows in %.0f ms", many.size(), MillisecondsSince(start));
    if (!SetUp(static_cast<int>(many.size()) == kMany, "made %d windows (%zu)", kMany,
               many.size())) {
        return;
    }
    const std::vector<std::wstring> all = SettledTitles();
    if (!SetUp(all.size() > static_cast<std::size_t>(kCapacity),
               "more windows qualify (%zu) than the catalogue holds", all.size())) {
        return;
    }
    const std::vector<std::wstring> expected(all.begin(), all.begin() + kCapacity);

    SetText(combo, L"still here");
    const double ms = TimedRefresh(program);
    Print("Refresh with %zu qualifying windows: %.1f ms", all.size(), ms);
    Check(program.Running() && Responds(program.Window()),
          "the program runs on and answers after a Refresh over a full catalogue");
    Equal(ComboCount(combo), kCapacity, "the list holds as many as the catalogue");
    const std::vector<std::wstring> items = ComboItems(combo);
    CheckList(items, expected, "the full list");
    // Those past the 5121st are left out.
    int left_out = 0;
    for (std::size_t i = kCapacity; i < all.size(); ++i) {
        if (CountOf(all, all[i]) == 1) left_out += CountOf(items, all[i]);
    }
    Equal(left_out, 0, "windows past the catalogue's end listed");
    Equal(ComboSelection(combo), -1, "no selection in the full list");
    Equal(WindowText(combo), std::wstring(L"still here"), "a full Refresh keeps the text");

    // A second refresh over a full catalogue, and a new program filling it at start.
    program.Refresh();
    Check(Responds(program.Window()), "the program answers after a second full Refresh");
    Equal(ComboCount(combo), kCapacity, "the list stays full after a second Refresh");
    RunProgram(
        jumper,
        [&](Program& second) {
            Print("start-up with %d windows: %.0f ms", kMany, second.StartupMilliseconds());
            const HWND second_combo = second.Control(ui::IdComboBox1);
            Equal(ComboCount(second_combo), kCapacity, "a second program's list at start");
            Equal(ComboItem(second_combo, 0), ComboItem(combo, 0),
                  "a second program lists the same top window first");
        },
        kCapacity);

    // Back below the limit, the list shrinks with the desktop. Ending the windows' thread
    // takes them all with it, far sooner than destroying them one by one.
    targets.Close();
    const std::vector<std::wstring> fewer = QualifyingTitles();
    SetUp(fewer.size() < 100, "the test's windows are gone (%zu qualify)", fewer.size());
    program.Refresh();
    CheckList(ComboItems(combo), fewer, "the list once the many windows are gone");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        Print("usage: catalogue_test <jumper.exe>");
        return 2;
    }
    const std::wstring jumper = WindowsPath(argv[1]);

    // The window the fixture starts with is one that must not be listed.
    jumptest::TargetWindow targets({.title = L"Hidden target", .visible = false});
    targets.Add(L"Qx");
    targets.Add(L"Qxy");
    targets.Add(L"");
    const HWND twin = targets.Add(L"Twin target");
    targets.Add(L"Twin target");
    targets.Add(L"Order one");
    const HWND order_two = targets.Add(L"Order two");
    targets.Add(L"Order three");
    targets.Add(kLongTitle);
    targets.Add(kAccented);
    for (const std::wstring& title : kScripts) targets.Add(title);
    targets.Add(kOneAccent);
    targets.Add(kLongChinese);
    SettledTitles();

    return Session("wine_catalogue", argv[1], [&](Program& program) {
        CheckStart(program);
        CheckRefresh(program, targets, twin, order_two);
        CheckAboutFifty(program, targets);
        CheckMoreThanCapacity(program, targets, jumper);
    });
}
