// The drop-down list against windows that the test makes itself: which windows are listed,
// in what order, with titles in several scripts, what "Refresh" changes and keeps, and a
// desktop with more windows than the catalogue holds. Prints the start-up and "Refresh"
// times.
// Usage: catalogue_test <jumper.exe>
#include <algorithm>
#include <cstdio>

#include "driver.h"
#include "ui/form1_layout.h"  // control identifiers only

using namespace check;
using namespace driver;

namespace {

constexpr int kCapacity = 5121;

// A window's title as the program reads it, in its code page, UTF-8: at most 254 bytes,
// cut before the first character that does not fit whole.
std::string Utf8Title(HWND window) {
    wchar_t wide[1024] = {};
    ::GetWindowTextW(window, wide, 1024);
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
    int count = 0;
    for (const auto& item : items) count += item == title ? 1 : 0;
    return count;
}

int IndexOf(const std::vector<std::wstring>& items, const std::wstring& title) {
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (items[i] == title) return static_cast<int>(i);
    }
    return -1;
}

// Compares the whole list and names the first difference.
#define CHECK_LIST(items, expected)                                                          \
    [&](const std::vector<std::wstring>& a, const std::vector<std::wstring>& b) {            \
        std::size_t i = 0;                                                                   \
        while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;                            \
        const bool same = i == a.size() && i == b.size();                                    \
        return ::check::CheckAt(                                                             \
            same, #items " == " #expected,                                                   \
            same ? std::string()                                                             \
                 : "sizes " + std::to_string(a.size()) + " and " + std::to_string(b.size()) + \
                       ", first difference at " + std::to_string(i) + ": " +                 \
                       (i < a.size() ? Describe(a[i]) : "(end)") + " vs " +                  \
                       (i < b.size() ? Describe(b[i]) : "(end)"),                            \
            __FILE__, __LINE__);                                                             \
    }((items), (expected))

double TimedRefresh(const Program& program) {
    const auto start = Clock::now();
    Click(program.Control(ui::IdButton1));  // returns when the handler has run
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
    // The program's own window was not yet visible when the list was filled.
    CHECK_LIST(items, QualifyingTitles(program.Window()));
    CHECK_EQ(CountOf(items, L"Window Jumper"), 0);  // not yet visible when the list was filled
    CHECK_EQ(CountOf(items, L"Hidden target"), 0);
    CHECK_EQ(CountOf(items, L"Qx"), 0);
    CHECK_EQ(CountOf(items, L"Qxy"), 1);
    CHECK_EQ(CountOf(items, L"Twin target"), 2);
    CHECK_EQ(CountOf(items, L""), 0);

    // Made one after another, each on top of the last: listed newest first.
    const int one = IndexOf(items, L"Order one");
    const int two = IndexOf(items, L"Order two");
    const int three = IndexOf(items, L"Order three");
    CHECK(three >= 0 && three < two && two < one);

    // Titles are read as 8-bit text into 255 bytes: longer ones are cut to 254.
    CHECK_EQ(CountOf(items, kLongTitle.substr(0, 254)), 1);

    // The 8-bit text is UTF-8: titles in any script are listed whole, their length counted
    // in its bytes, and a cut title keeps only whole characters.
    CHECK_EQ(CountOf(items, kAccented), 1);
    for (const std::wstring& title : kScripts) {
        CHECK_EQ(CountOf(items, title), 1);
    }
    CHECK_EQ(CountOf(items, kOneAccent), 0);
    CHECK_EQ(CountOf(items, kLongChinese.substr(0, 84)), 1);
    for (const std::wstring& item : items) {  // for the record
        if (std::any_of(item.begin(), item.end(), [](wchar_t c) { return c > 0x7F; })) {
            std::printf("listed: %s (%zu UTF-16 units)\n", Describe(item).c_str(), item.size());
        }
    }

    CHECK_EQ(ComboSelection(combo), -1);
    CHECK_EQ(WindowText(combo), L"");
}

void CheckRefresh(const Program& program, TargetWindows& targets, HWND twin, HWND order_two) {
    Section("Refresh");
    const HWND combo = program.Control(ui::IdComboBox1);
    ::SendMessageW(combo, CB_SETCURSEL, 1, 0);
    SetText(combo, L"typed before Refresh");
    CHECK_EQ(ComboSelection(combo), 1);

    Click(program.Control(ui::IdButton1));
    std::vector<std::wstring> items = ComboItems(combo);
    CHECK_LIST(items, QualifyingTitles());
    // The program's own window is visible now, above the windows made before it.
    const int own = IndexOf(items, L"Window Jumper");
    CHECK(own >= 0 && own < IndexOf(items, L"Order three"));
    CHECK_EQ(ComboSelection(combo), -1);
    CHECK_EQ(WindowText(combo), L"typed before Refresh");

    // The list follows the desktop: a window gone, one hidden, one new on top.
    targets.Destroy(order_two);
    targets.Run([&] { ::ShowWindow(twin, SW_HIDE); });
    targets.Create(L"Order four");
    std::vector<std::wstring> expected = SettledTitles();
    Click(program.Control(ui::IdButton1));
    items = ComboItems(combo);
    CHECK_LIST(items, expected);
    CHECK_EQ(CountOf(items, L"Order two"), 0);
    CHECK_EQ(CountOf(items, L"Twin target"), 1);
    CHECK_EQ(CountOf(items, L"Order four"), 1);
    CHECK(IndexOf(items, L"Order four") < IndexOf(items, L"Order three"));
    CHECK_EQ(ComboSelection(combo), -1);
    CHECK_EQ(WindowText(combo), L"typed before Refresh");
}

void CheckAboutFifty(const Program& program, TargetWindows& targets) {
    Section("Refresh with about 50 windows");
    const HWND combo = program.Control(ui::IdComboBox1);
    const int before = ComboCount(combo);
    targets.CreateMany(L"Fifty ", 50 - before);
    const std::vector<std::wstring> expected = SettledTitles();
    const double ms = TimedRefresh(program);
    const std::vector<std::wstring> items = ComboItems(combo);
    CHECK_LIST(items, expected);
    std::printf("Refresh with %zu listed windows: %.1f ms\n", items.size(), ms);
}

void CheckMoreThanCapacity(const Program& program, TargetWindows& targets,
                           const std::wstring& jumper) {
    Section("more windows than the catalogue holds");
    const HWND combo = program.Control(ui::IdComboBox1);
    constexpr int kMany = 5300;
    const auto start = Clock::now();
    const std::vector<HWND> many = targets.CreateMany(L"Many ", kMany);
    std::printf("made %zu windows in %.0f ms\n", many.size(), MillisecondsSince(start));
    if (!CHECK_EQ(static_cast<int>(many.size()), kMany)) return;
    const std::vector<std::wstring> all = SettledTitles();
    CHECK(all.size() > static_cast<std::size_t>(kCapacity));
    std::vector<std::wstring> expected = all;
    expected.resize(kCapacity);  // the first 5121 in z-order

    SetText(combo, L"still here");
    const double ms = TimedRefresh(program);
    std::printf("Refresh with %zu qualifying windows: %.1f ms\n", QualifyingTitles().size(), ms);
    CHECK(Responds(program.Window()));
    CHECK(program.Running());
    CHECK_EQ(ComboCount(combo), kCapacity);
    const std::vector<std::wstring> items = ComboItems(combo);
    CHECK_LIST(items, expected);
    // Those past the 5121st are left out.
    int left_out = 0;
    for (std::size_t i = kCapacity; i < all.size(); ++i) {
        if (CountOf(all, all[i]) == 1) left_out += CountOf(items, all[i]);
    }
    CHECK_EQ(left_out, 0);
    CHECK_EQ(ComboSelection(combo), -1);
    CHECK_EQ(WindowText(combo), L"still here");

    // A second refresh over a full catalogue, and a new program filling it at start.
    Click(program.Control(ui::IdButton1));
    CHECK(Responds(program.Window()));
    CHECK_EQ(ComboCount(combo), kCapacity);
    {
        Program second;
        if (CHECK(second.Start(jumper)) && CHECK(second.WaitForMainWindow(kCapacity, 60000))) {
            std::printf("start-up with %d windows: %.0f ms\n", kMany,
                        second.StartupMilliseconds());
            const HWND second_combo = second.Control(ui::IdComboBox1);
            CHECK_EQ(ComboCount(second_combo), kCapacity);
            CHECK_EQ(ComboItem(second_combo, 0), ComboItem(combo, 0));
            second.Close();
            const auto code = second.WaitForExit(20000);
            if (CHECK(code.has_value())) CHECK_EQ(*code, 0ul);
        }
    }

    // Back below the limit, the list shrinks with the desktop.
    for (const HWND window : many) targets.Destroy(window);
    Click(program.Control(ui::IdButton1));
    CHECK_LIST(ComboItems(combo), QualifyingTitles());
    CHECK(ComboCount(combo) < 100);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::printf("usage: catalogue_test <jumper.exe>\n");
        return 2;
    }
    const std::wstring jumper = WindowsPath(argv[1]);

    TargetWindows targets;
    targets.Create(L"Hidden target", false);
    targets.Create(L"Qx");
    targets.Create(L"Qxy");
    targets.Create(L"");
    const HWND twin = targets.Create(L"Twin target");
    targets.Create(L"Twin target");
    targets.Create(L"Order one");
    const HWND order_two = targets.Create(L"Order two");
    targets.Create(L"Order three");
    targets.Create(kLongTitle);
    targets.Create(kAccented);
    for (const std::wstring& title : kScripts) targets.Create(title);
    targets.Create(kOneAccent);
    targets.Create(kLongChinese);

    SettledTitles();

    Program program;
    if (!CHECK(program.Start(jumper))) return Report("wine_catalogue");
    if (!CHECK(program.WaitForMainWindow(1, 30000))) return Report("wine_catalogue");
    std::printf("start-up with %zu windows listed: %.0f ms\n",
                ComboItems(program.Control(ui::IdComboBox1)).size(),
                program.StartupMilliseconds());

    CheckStart(program);
    CheckRefresh(program, targets, twin, order_two);
    CheckAboutFifty(program, targets);
    CheckMoreThanCapacity(program, targets, jumper);

    program.Close();
    const auto code = program.WaitForExit(20000);
    if (CHECK(code.has_value())) CHECK_EQ(*code, 0ul);
    return Report("wine_catalogue");
}
