// The main window's description: its client size and its twelve controls, in the order the
// window creates them. Positions are in pixels at 96 dpi; at any other DPI the window scales
// them by DPI/96. The z-order follows from the tab order and the labels: the controls in
// rising tab order, each right after the label that names it.
#pragma once

namespace ui {

inline constexpr int kClientWidth = 430;
inline constexpr int kClientHeight = 132;
inline constexpr int kFontPoints = 8;  // Tahoma 8 pt: 11 pixels high at 96 dpi
inline constexpr const wchar_t* kFontFace = L"Tahoma";
inline constexpr const wchar_t* kFormCaption = L"Window Jumper";
inline constexpr int kDropDownCount = 8;  // items the open list shows at once

enum class ControlKind { Label, ComboBox, Button, Edit };

// Control identifiers; a test driver finds the controls by them.
enum ControlId : int {
    IdNone = 0,
    IdLabel1 = 101,
    IdLabel2,
    IdLabel3,
    IdLabel4,
    IdLabel5,
    IdComboBox1 = 201,
    IdButton1,
    IdButton2,
    IdEdit1,
    IdEdit2,
    IdEdit3,
    IdEdit4,
};

inline constexpr int kNoTabStop = -1;

struct ControlDescription {
    ControlKind kind;
    const wchar_t* name;
    ControlId id;
    int left;
    int top;
    int width;
    int height;
    const wchar_t* text;
    int tab_order;
    ControlId label;  // the label that names it: just before it in the z-order
};

// clang-format off
inline constexpr ControlDescription kControls[] = {
    // kind                  name           id           left  top  width height text           tab order   label
    {ControlKind::Label,    L"Label1",    IdLabel1,     12,   38,   51,   13, L"Min Width:",  kNoTabStop, IdNone},
    {ControlKind::Label,    L"Label2",    IdLabel2,      9,   65,   54,   13, L"Min Height:", kNoTabStop, IdNone},
    {ControlKind::Label,    L"Label3",    IdLabel3,     21,   10,   42,   13, L"Window:",     kNoTabStop, IdNone},
    {ControlKind::Label,    L"Label4",    IdLabel4,    188,   38,   55,   13, L"Max Width:",  kNoTabStop, IdNone},
    {ControlKind::Label,    L"Label5",    IdLabel5,    185,   65,   58,   13, L"Max Height:", kNoTabStop, IdNone},
    {ControlKind::ComboBox, L"ComboBox1", IdComboBox1,  69,    8,  267,   21, L"",            0,          IdLabel3},
    {ControlKind::Button,   L"Button1",   IdButton1,   342,    8,   85,   25, L"Refresh",     1,          IdNone},
    {ControlKind::Button,   L"Button2",   IdButton2,    69,   89,  268,   25, L"Random",      2,          IdNone},
    {ControlKind::Edit,     L"Edit1",     IdEdit1,      69,   35,   87,   21, L"100",         3,          IdLabel1},
    {ControlKind::Edit,     L"Edit2",     IdEdit2,      69,   62,   87,   21, L"100",         4,          IdLabel2},
    {ControlKind::Edit,     L"Edit3",     IdEdit3,     249,   35,   87,   21, L"300",         5,          IdLabel4},
    {ControlKind::Edit,     L"Edit4",     IdEdit4,     249,   62,   87,   21, L"300",         6,          IdLabel5},
};
// clang-format on

}  // namespace ui
