// The main window as it is meant to look, at 96 dpi, in client coordinates: written out
// here again rather than taken from the program's own table, so that a change there shows.
#pragma once

#include <windows.h>

#include <map>
#include <string>

#include "driver.h"
#include "ui/form1_layout.h"  // control identifiers only

namespace driver {

inline constexpr int kExpectedClientWidth = 430;
inline constexpr int kExpectedClientHeight = 132;

struct ExpectedControl {
    int id;
    const wchar_t* class_name;
    int left;
    int top;
    int width;
    int height;
    const wchar_t* text;
};

inline constexpr ExpectedControl kExpected[] = {
    {ui::IdLabel1, L"Static", 12, 38, 51, 13, L"Min Width:"},
    {ui::IdLabel2, L"Static", 9, 65, 54, 13, L"Min Height:"},
    {ui::IdLabel3, L"Static", 21, 10, 42, 13, L"Window:"},
    {ui::IdLabel4, L"Static", 188, 38, 55, 13, L"Max Width:"},
    {ui::IdLabel5, L"Static", 185, 65, 58, 13, L"Max Height:"},
    {ui::IdComboBox1, L"ComboBox", 69, 8, 267, 21, L""},
    {ui::IdButton1, L"Button", 342, 8, 85, 25, L"Refresh"},
    {ui::IdButton2, L"Button", 69, 89, 268, 25, L"Random"},
    {ui::IdEdit1, L"Edit", 69, 35, 87, 21, L"100"},
    {ui::IdEdit2, L"Edit", 69, 62, 87, 21, L"100"},
    {ui::IdEdit3, L"Edit", 249, 35, 87, 21, L"300"},
    {ui::IdEdit4, L"Edit", 249, 62, 87, 21, L"300"},
};

// The probe's report, a line per key ("text 101" -> "51 13"), and one line's value.
using ProbeLines = std::map<std::wstring, std::wstring>;
std::wstring ProbeLine(const ProbeLines& lines, const std::wstring& key);

// Every control where the 96-dpi layout puts it, scaled to dpi. A label sizes itself to its
// text in the font the program really got: one that its text outgrows widens to the left,
// keeping its right edge by its field. No label or button text is clipped.
void CheckLayout(const Program& program, const ProbeLines& lines, int dpi);

}  // namespace driver
