// Loaded into jumper.exe by the test driver (Program::ReadInProcess). Fonts and icons are
// handles of the process that made them, and Wine answers WM_GETFONT and WM_GETICON from
// another process with null, so this reads them from inside and hands the result back as
// text in a shared section named after the process:
//   dpi window <the window's DPI> <its DPI awareness: 0 unaware, 1 system, 2 per monitor>
//   icon big <width> <height>
//   icon small <width> <height>
//   font <control id> <height> <weight> <italic> <face>
//   text <control id> <width> <height>     the extent of the control's text in its font
// The driver may leave a request in the section first, which is carried out before the
// report:
//   dpichanged <dpi> <left> <top> <right> <bottom>   sends the main window WM_DPICHANGED
// The probe unloads itself when done, so that it can be loaded again.
#include <windows.h>

#include <cwchar>
#include <sstream>
#include <string>

namespace {

HMODULE probe_module = nullptr;

std::wstring DpiLine(HWND window) {
    const UINT dpi = ::GetDpiForWindow(window);
    const int awareness =
        ::GetAwarenessFromDpiAwarenessContext(::GetWindowDpiAwarenessContext(window));
    return L"dpi window " + std::to_wstring(dpi) + L" " + std::to_wstring(awareness) + L"\n";
}

std::wstring TextLine(HWND control) {
    wchar_t text[256] = {};
    const int length = ::GetWindowTextW(control, text, 256);
    SIZE extent{};
    if (const HDC dc = ::GetDC(control)) {
        const auto font = reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0));
        const HGDIOBJ old = ::SelectObject(dc, font);
        ::GetTextExtentPoint32W(dc, text, length, &extent);
        ::SelectObject(dc, old);
        ::ReleaseDC(control, dc);
    }
    return L"text " + std::to_wstring(::GetDlgCtrlID(control)) + L" " +
           std::to_wstring(extent.cx) + L" " + std::to_wstring(extent.cy) + L"\n";
}

void CarryOut(const std::wstring& request, HWND window) {
    std::wistringstream words(request);
    std::wstring verb;
    words >> verb;
    if (verb == L"dpichanged") {
        UINT dpi = 0;
        RECT suggested{};
        words >> dpi >> suggested.left >> suggested.top >> suggested.right >> suggested.bottom;
        ::SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                       reinterpret_cast<LPARAM>(&suggested));
    }
}

std::wstring IconLine(HWND window, WPARAM which, const wchar_t* name) {
    const auto icon = reinterpret_cast<HICON>(::SendMessageW(window, WM_GETICON, which, 0));
    int width = 0;
    int height = 0;
    ICONINFO info{};
    if (icon && ::GetIconInfo(icon, &info)) {
        BITMAP bitmap{};
        if (info.hbmColor && ::GetObjectW(info.hbmColor, sizeof(bitmap), &bitmap)) {
            width = bitmap.bmWidth;
            height = bitmap.bmHeight;
        }
        if (info.hbmColor) ::DeleteObject(info.hbmColor);
        if (info.hbmMask) ::DeleteObject(info.hbmMask);
    }
    return L"icon " + std::wstring(name) + L" " + std::to_wstring(width) + L" " +
           std::to_wstring(height) + L"\n";
}

std::wstring FontLine(HWND control) {
    const auto font = reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0));
    LOGFONTW log{};
    if (!font || !::GetObjectW(font, sizeof(log), &log)) {
        return L"font " + std::to_wstring(::GetDlgCtrlID(control)) + L" 0 0 0 (none)\n";
    }
    return L"font " + std::to_wstring(::GetDlgCtrlID(control)) + L" " +
           std::to_wstring(log.lfHeight) + L" " + std::to_wstring(log.lfWeight) + L" " +
           std::to_wstring(log.lfItalic) + L" " + log.lfFaceName + L"\n";
}

HWND MainWindow() {
    struct Found {
        DWORD process_id;
        HWND window;
    } found{::GetCurrentProcessId(), nullptr};
    ::EnumWindows(
        [](HWND window, LPARAM param) CALLBACK -> BOOL {
            auto& f = *reinterpret_cast<Found*>(param);
            DWORD process_id = 0;
            ::GetWindowThreadProcessId(window, &process_id);
            wchar_t name[32] = {};
            ::GetClassNameW(window, name, 32);
            if (process_id == f.process_id && std::wcscmp(name, L"TForm1") == 0) {
                f.window = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found.window;
}

DWORD WINAPI Report(void*) {
    const std::wstring suffix = std::to_wstring(::GetCurrentProcessId());
    const HANDLE mapping =
        ::OpenFileMappingW(FILE_MAP_READ | FILE_MAP_WRITE, FALSE, (L"Local\\JumperTestProbe." + suffix).c_str());
    const HANDLE done =
        ::OpenEventW(EVENT_MODIFY_STATE, FALSE, (L"Local\\JumperTestProbeDone." + suffix).c_str());
    if (!mapping || !done) ::FreeLibraryAndExitThread(probe_module, 1);

    std::wstring request;
    if (const auto* view = static_cast<const wchar_t*>(
            ::MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0))) {
        request = view;
        ::UnmapViewOfFile(view);
    }

    std::wstring text;
    if (const HWND window = MainWindow()) {
        CarryOut(request, window);
        text += DpiLine(window);
        text += IconLine(window, ICON_BIG, L"big");
        text += IconLine(window, ICON_SMALL, L"small");
        for (HWND child = ::GetWindow(window, GW_CHILD); child;
             child = ::GetWindow(child, GW_HWNDNEXT)) {
            text += FontLine(child);
            text += TextLine(child);
        }
    }
    if (auto* view = static_cast<wchar_t*>(::MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0))) {
        const std::size_t room = 32767;
        const std::size_t length = text.size() < room ? text.size() : room;
        std::wmemcpy(view, text.c_str(), length);
        view[length] = L'\0';
        ::UnmapViewOfFile(view);
    }
    ::SetEvent(done);
    ::CloseHandle(done);
    ::CloseHandle(mapping);
    ::FreeLibraryAndExitThread(probe_module, 0);
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, void*) {
    // The loader lock is held here: the work runs on a thread of its own once it is released.
    // That thread takes over the driver's load of the probe and undoes it as it ends.
    if (reason == DLL_PROCESS_ATTACH) {
        probe_module = module;
        if (const HANDLE thread = ::CreateThread(nullptr, 0, &Report, nullptr, 0, nullptr)) {
            ::CloseHandle(thread);
        }
    }
    return TRUE;
}
