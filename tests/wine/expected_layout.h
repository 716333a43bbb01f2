// The main window as it is meant to look, at 96 dpi, in client coordinates: written out
// here again rather than taken from the program's own table, so that a change there shows.
#pragma once

#include <windows.h>

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

}  // namespace driver
