// The baseline for the start-up and memory figures: the least a Win32 program with the same
// kind of window needs. One top-level window with labels, an editable drop-down list with a
// few items, two push buttons and four edits, version 6 common controls through its manifest,
// the same font; no catalogue, no worker.
#include <windows.h>

#include <commctrl.h>

#include <initializer_list>

namespace {

struct Control {
    const wchar_t* window_class;
    DWORD style;
    DWORD ex_style;
    int id;
    int left, top, width, height;
    const wchar_t* text;
};

constexpr Control kControls[] = {
    {WC_STATICW, SS_LEFT, 0, 101, 12, 38, 51, 13, L"Min Width:"},
    {WC_STATICW, SS_LEFT, 0, 102, 9, 65, 54, 13, L"Min Height:"},
    {WC_STATICW, SS_LEFT, 0, 103, 21, 10, 42, 13, L"Window:"},
    {WC_STATICW, SS_LEFT, 0, 104, 188, 38, 55, 13, L"Max Width:"},
    {WC_STATICW, SS_LEFT, 0, 105, 185, 65, 58, 13, L"Max Height:"},
    {WC_COMBOBOXW, CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP, 0, 201, 69, 8, 267,
     200, L""},
    {WC_BUTTONW, BS_PUSHBUTTON | WS_TABSTOP, 0, 202, 342, 8, 85, 25, L"Refresh"},
    {WC_BUTTONW, BS_PUSHBUTTON | WS_TABSTOP, 0, 203, 69, 89, 268, 25, L"Random"},
    {WC_EDITW, ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, 204, 69, 35, 87, 21, L"100"},
    {WC_EDITW, ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, 205, 69, 62, 87, 21, L"100"},
    {WC_EDITW, ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, 206, 249, 35, 87, 21, L"300"},
    {WC_EDITW, ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, 207, 249, 62, 87, 21, L"300"},
};

HFONT font = nullptr;

LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_CREATE: {
        const auto instance = reinterpret_cast<const CREATESTRUCTW*>(lparam)->hInstance;
        font = ::CreateFontW(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                             DEFAULT_PITCH | FF_DONTCARE, L"Tahoma");
        for (const Control& c : kControls) {
            const HWND control = ::CreateWindowExW(
                c.ex_style, c.window_class, c.text, WS_CHILD | WS_VISIBLE | c.style, c.left,
                c.top, c.width, c.height, hwnd,
                reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), instance, nullptr);
            ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        }
        const HWND combo = ::GetDlgItem(hwnd, 201);
        for (const wchar_t* item : {L"First item", L"Second item", L"Third item"}) {
            ::SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
        }
        return 0;
    }
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    default:
        return ::DefWindowProcW(hwnd, message, wparam, lparam);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show_command) {
    const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);

    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof(window_class);
    window_class.lpfnWndProc = &WndProc;
    window_class.hInstance = instance;
    window_class.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    window_class.lpszClassName = L"BenchMinimal";
    if (!::RegisterClassExW(&window_class)) return 1;

    RECT frame{0, 0, 430, 132};
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    ::AdjustWindowRectEx(&frame, style, FALSE, WS_EX_CONTROLPARENT | WS_EX_APPWINDOW);
    const HWND hwnd = ::CreateWindowExW(
        WS_EX_CONTROLPARENT | WS_EX_APPWINDOW, L"BenchMinimal", L"Minimal program", style,
        CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top, nullptr,
        nullptr, instance, nullptr);
    if (!hwnd) return 1;
    ::ShowWindow(hwnd, show_command);

    MSG message{};
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (::IsDialogMessageW(hwnd, &message)) continue;
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}
