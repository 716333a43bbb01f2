// Loaded into jumper.exe by the test driver (Program::ReadInProcess). Fonts and icons are
// handles of the process that made them, and Wine answers WM_GETFONT and WM_GETICON from
// another process with null, so this reads them from inside and hands the result back as
// text in a shared section named after the process:
//   icon big <width> <height>
//   icon small <width> <height>
//   font <control id> <height> <weight> <italic> <face>
#include <windows.h>

#include <cwchar>
#include <string>

namespace {

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
        ::OpenFileMappingW(FILE_MAP_WRITE, FALSE, (L"Local\\JumperTestProbe." + suffix).c_str());
    const HANDLE done =
        ::OpenEventW(EVENT_MODIFY_STATE, FALSE, (L"Local\\JumperTestProbeDone." + suffix).c_str());
    if (!mapping || !done) return 1;

    std::wstring text;
    if (const HWND window = MainWindow()) {
        text += IconLine(window, ICON_BIG, L"big");
        text += IconLine(window, ICON_SMALL, L"small");
        for (HWND child = ::GetWindow(window, GW_CHILD); child;
             child = ::GetWindow(child, GW_HWNDNEXT)) {
            text += FontLine(child);
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
    return 0;
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, void*) {
    // The loader lock is held here: the work runs on a thread of its own once it is released.
    if (reason == DLL_PROCESS_ATTACH) {
        if (const HANDLE thread = ::CreateThread(nullptr, 0, &Report, nullptr, 0, nullptr)) {
            ::CloseHandle(thread);
        }
    }
    return TRUE;
}
