#include "ui/form1.h"

#include <commctrl.h>

#include <algorithm>
#include <exception>
#include <vector>

#include "platform/exception.h"
#include "resource.h"
#include "jumper/error_text.h"

namespace ui {

TForm1* Form1 = nullptr;

namespace {

constexpr wchar_t kClassName[] = L"TForm1";
// A single fixed border with the system menu only: no resizing, no minimise or maximise.
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
// Dialog-style focus movement, and the taskbar button on the main window itself.
constexpr DWORD kExStyle = WS_EX_CONTROLPARENT | WS_EX_APPWINDOW;

// Sent by Windows 10 1703 and later; the headers declare it only when built for them.
constexpr UINT kWmGetDpiScaledSize = 0x02E4;

struct ControlClass {
    const wchar_t* name = nullptr;
    DWORD style = 0;
    DWORD ex_style = 0;
};

ControlClass ClassOf(ControlKind kind) {
    switch (kind) {
    case ControlKind::Label:
        return {WC_STATICW, SS_LEFT, 0};
    case ControlKind::ComboBox:
        return {WC_COMBOBOXW, CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL, 0};
    case ControlKind::Button:
        return {WC_BUTTONW, BS_PUSHBUTTON, 0};
    case ControlKind::Edit:
        return {WC_EDITW, ES_AUTOHSCROLL, WS_EX_CLIENTEDGE};
    }
    return {WC_STATICW, 0, 0};
}

ControlId FieldControl(jumper::SizeField field) {
    switch (field) {
    case jumper::SizeField::MinWidth:
        return IdEdit1;
    case jumper::SizeField::MinHeight:
        return IdEdit2;
    case jumper::SizeField::MaxWidth:
        return IdEdit3;
    case jumper::SizeField::MaxHeight:
        return IdEdit4;
    }
    return IdEdit1;
}

const ControlDescription& DescriptionOf(ControlId id) {
    return *std::find_if(std::begin(kControls), std::end(kControls),
                         [id](const ControlDescription& entry) { return entry.id == id; });
}

std::wstring ExecutablePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

// The width of a control's text in font (of a height in pixels, so any DC measures it).
int TextWidth(HWND control, HFONT font) {
    const std::wstring text = platform::WindowText(control);
    const platform::unique_screen_dc dc(::GetDC(nullptr));
    if (!dc) return 0;
    const HGDIOBJ old_font = ::SelectObject(dc.get(), font);
    SIZE extent{};
    ::GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(text.size()), &extent);
    ::SelectObject(dc.get(), old_font);
    return extent.cx;
}

platform::unique_hicon LoadProgramIcon(HINSTANCE instance, int size_metric, UINT dpi) {
    const int size = platform::SystemMetricForDpi(size_metric, dpi);
    return platform::unique_hicon(static_cast<HICON>(
        ::LoadImageW(instance, MAKEINTRESOURCEW(IDI_JUMPER), IMAGE_ICON, size, size, 0)));
}

// Runs a handler inside a window or subclass procedure, which no error may cross: an error
// abandons the handler and is shown, as every handler's error is.
template <typename Handler>
LRESULT Guarded(HWND owner, Handler&& handler) noexcept {
    try {
        return handler();
    } catch (...) {
        ShowError(owner, std::current_exception());
    }
    return 0;
}

}  // namespace

void ShowErrorBox(HWND owner, std::wstring_view message) {
    ::MessageBoxW(owner, jumper::ErrorBoxText(message).c_str(),
                  jumper::ApplicationTitle(ExecutablePath(), &platform::LowerCase).c_str(), MB_OK | MB_ICONERROR);
}

void ShowError(HWND owner, const std::exception_ptr& failure) noexcept {
    try {
        try {
            std::rethrow_exception(failure);
        } catch (const platform::Exception& error) {
            ShowErrorBox(owner, error.Message());
        } catch (const std::bad_alloc&) {
            ShowErrorBox(owner, L"Out of memory");
        } catch (...) {
            ShowErrorBox(owner, L"Unexpected error");
        }
    } catch (...) {
        // Not even the error box could be shown.
    }
}

void ComboBoxItems::BeginUpdate() { ::SendMessageW(combo_, WM_SETREDRAW, FALSE, 0); }

void ComboBoxItems::EndUpdate() noexcept {
    ::SendMessageW(combo_, WM_SETREDRAW, TRUE, 0);
    ::RedrawWindow(combo_, nullptr, nullptr,
                   RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
}

void ComboBoxItems::Clear(int count, std::size_t bytes) {
    // Emptying the list also empties its edit part; the text shown is kept.
    const std::wstring text = platform::WindowText(combo_);
    ::SendMessageW(combo_, CB_RESETCONTENT, 0, 0);
    ::SetWindowTextW(combo_, text.c_str());
    // One allocation instead of one per item. An ANSI byte becomes at most one UTF-16 unit.
    const std::size_t units = bytes + static_cast<std::size_t>(count);  // terminators included
    ::SendMessageW(combo_, CB_INITSTORAGE, static_cast<WPARAM>(count),
                   static_cast<LPARAM>(units * sizeof(wchar_t)));
}

bool ComboBoxItems::Add(std::string_view title) {
    const int source_length = static_cast<int>(title.size());
    std::wstring text(
        static_cast<std::size_t>(
            ::MultiByteToWideChar(CP_ACP, 0, title.data(), source_length, nullptr, 0)),
        L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, title.data(), source_length, text.data(),
                          static_cast<int>(text.size()));
    return ::SendMessageW(combo_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str())) >= 0;
}

TForm1::TForm1(Key, std::shared_ptr<platform::Desktop> desktop,
               std::shared_ptr<jumper::PlacementGate> gate)
    : desktop_(std::move(desktop)), gate_(std::move(gate)) {}

TForm1::~TForm1() {
    if (hwnd_) ::DestroyWindow(hwnd_);
    if (Form1 == this) Form1 = nullptr;
}

std::unique_ptr<TForm1> TForm1::Create(HINSTANCE instance,
                                       std::shared_ptr<platform::Desktop> desktop,
                                       std::shared_ptr<jumper::PlacementGate> gate) {
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof(window_class);
    window_class.lpfnWndProc = &TForm1::WndProc;
    window_class.hInstance = instance;
    window_class.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    window_class.lpszClassName = kClassName;
    if (!::RegisterClassExW(&window_class)) {
        throw platform::Exception(L"Unable to register the main window class");
    }

    auto form = std::make_unique<TForm1>(Key{}, std::move(desktop), std::move(gate));
    Form1 = form.get();
    // Made at the primary screen's origin, so that it takes that screen's DPI; sized for it
    // and centred once it knows it.
    if (!::CreateWindowExW(kExStyle, kClassName, kFormCaption, kStyle, 0, 0, 0, 0, nullptr,
                           nullptr, instance, form.get())) {
        // A window whose creation failed half-way is gone: the reason is what the user reads.
        if (form->creation_error_) std::rethrow_exception(form->creation_error_);
        throw platform::Exception(L"Unable to create the main window");
    }
    const SIZE frame = form->FrameSize(form->dpi_);
    ::SetWindowPos(form->hwnd_, nullptr, (::GetSystemMetrics(SM_CXSCREEN) - frame.cx) / 2,
                   (::GetSystemMetrics(SM_CYSCREEN) - frame.cy) / 2, frame.cx, frame.cy,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    return form;
}

SIZE TForm1::FrameSize(UINT dpi) const {
    const SIZE client{::MulDiv(kClientWidth, static_cast<int>(dpi), 96),
                      ::MulDiv(kClientHeight, static_cast<int>(dpi), 96)};
    return platform::FrameSizeFor(client, kStyle, kExStyle, dpi);
}

LRESULT CALLBACK TForm1::WndProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE) {
        auto* const self =
            static_cast<TForm1*>(reinterpret_cast<const CREATESTRUCTW*>(lparam)->lpCreateParams);
        self->hwnd_ = hwnd;
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* const self = reinterpret_cast<TForm1*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return ::DefWindowProcW(hwnd, message, wparam, lparam);
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
        return ::DefWindowProcW(hwnd, message, wparam, lparam);
    }

    return Guarded(hwnd, [&] { return self->HandleMessage(message, wparam, lparam); });
}

LRESULT TForm1::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_CREATE:
        // A window without every control, or without the catalogue's storage, is not made at
        // all; an error of the first refresh is shown, and the window opens.
        try {
            ui_thread_ = std::make_shared<platform::WindowUiThread>();
            jump_control_.emplace(*this, desktop_, ui_thread_, gate_);
            dpi_ = platform::DpiOf(hwnd_);
            CreateControls();
            FormCreate();
        } catch (...) {
            creation_error_ = std::current_exception();
            return -1;
        }
        return 0;
    case kWmGetDpiScaledSize:
        // The size the window takes at the new DPI, so that the rectangle it is offered
        // next fits the scaled layout exactly.
        *reinterpret_cast<SIZE*>(lparam) = FrameSize(static_cast<UINT>(wparam));
        return TRUE;
    case WM_DPICHANGED:
        FormDpiChanged(HIWORD(wparam), *reinterpret_cast<const RECT*>(lparam));
        return 0;
    case WM_COMMAND:
        if (HIWORD(wparam) == BN_CLICKED && LOWORD(wparam) == IdButton1) Button1Click();
        if (HIWORD(wparam) == BN_CLICKED && LOWORD(wparam) == IdButton2) Button2Click();
        return 0;
    case WM_ACTIVATE:
        // Focus returns to the control that had it, as in a dialog.
        if (LOWORD(wparam) == WA_INACTIVE) {
            const HWND focus = ::GetFocus();
            if (focus && ::IsChild(hwnd_, focus)) focus_ = focus;
        } else {
            ::SetFocus(focus_ && ::IsWindow(focus_) ? focus_ : Control(IdComboBox1));
        }
        return 0;
    case WM_DESTROY:
        if (ui_thread_) ui_thread_->Close();  // a worker's refresh finds no window from here
        // Not when creation failed: a quit message waiting in the queue would close the error
        // box that says why at once.
        if (!creation_error_) ::PostQuitMessage(0);
        return 0;
    default:
        return ::DefWindowProcW(hwnd_, message, wparam, lparam);
    }
}

void TForm1::CreateControls() {
    const auto instance = reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(hwnd_, GWLP_HINSTANCE));
    // ApplyDpi puts each control in its place, now and after a DPI change.
    for (const ControlDescription& entry : kControls) {
        const ControlClass control_class = ClassOf(entry.kind);
        DWORD style = WS_CHILD | WS_VISIBLE | control_class.style;
        if (entry.tab_order != kNoTabStop) style |= WS_TABSTOP;
        const HWND control = ::CreateWindowExW(
            control_class.ex_style, control_class.name, entry.text, style, 0, 0, 0, 0, hwnd_,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(entry.id)), instance, nullptr);
        if (!control) throw platform::Exception(L"Unable to create the control " +
                                                std::wstring(entry.name));
    }

    // Focus moves through the children in z-order, and a screen reader names a field after
    // the label just before it, as in a dialog: the controls in rising tab order, each
    // right after its label. Any other control stays below them.
    std::vector<ControlDescription> by_tab_order;
    std::copy_if(std::begin(kControls), std::end(kControls), std::back_inserter(by_tab_order),
                 [](const ControlDescription& entry) {
                     return entry.tab_order != kNoTabStop;
                 });
    std::sort(by_tab_order.begin(), by_tab_order.end(),
              [](const ControlDescription& a, const ControlDescription& b) {
                  return a.tab_order < b.tab_order;
              });
    HWND previous = HWND_TOP;
    const auto place_next = [&previous, this](ControlId id) {
        const HWND control = Control(id);
        ::SetWindowPos(control, previous, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        previous = control;
    };
    for (const ControlDescription& entry : by_tab_order) {
        if (entry.label != IdNone) place_next(entry.label);
        place_next(entry.id);
    }

    const HWND combo = Control(IdComboBox1);
    combo_items_.Attach(combo);
    ::SendMessageW(combo, CB_SETMINVISIBLE, kDropDownCount, 0);
    COMBOBOXINFO combo_info{};
    combo_info.cbSize = sizeof(combo_info);
    if (::GetComboBoxInfo(combo, &combo_info) && combo_info.hwndItem) {
        ::SetWindowSubclass(combo_info.hwndItem, &TForm1::ComboEditProc, 0,
                            reinterpret_cast<DWORD_PTR>(this));
    }
    ApplyDpi();
}

void TForm1::ApplyDpi() {
    const auto instance = reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(hwnd_, GWLP_HINSTANCE));
    platform::unique_hfont font(::CreateFontW(
        -::MulDiv(kFontPoints, static_cast<int>(dpi_), 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE,
        FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
        DEFAULT_PITCH | FF_DONTCARE, kFontFace));
    for (const ControlDescription& entry : kControls) {
        const HWND control = Control(entry.id);
        int left = Scale(entry.left);
        int width = Scale(entry.width);
        // A label sizes itself to its text, which need not scale evenly with the DPI: one
        // that its text outgrows widens to the left, keeping its right edge by its field.
        if (entry.kind == ControlKind::Label) {
            const int needed = TextWidth(control, font.get());
            if (needed > width) {
                left -= needed - width;
                width = needed;
            }
        }
        ::SetWindowPos(control, nullptr, left, Scale(entry.top), width, Scale(entry.height),
                       SWP_NOZORDER | SWP_NOACTIVATE);
        ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
    }
    font_ = std::move(font);  // the old font is freed once no control holds it

    platform::unique_hicon large = LoadProgramIcon(instance, SM_CXICON, dpi_);
    platform::unique_hicon small = LoadProgramIcon(instance, SM_CXSMICON, dpi_);
    ::SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(large.get()));
    ::SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small.get()));
    icon_large_ = std::move(large);
    icon_small_ = std::move(small);

    FitComboHeight();
}

void TForm1::FitComboHeight() {
    // The closed list takes its height from the font, which differs by a pixel between
    // window systems: hold it to the height the layout gives. Wine does not read back the
    // field height it was given, so the height is measured after each change.
    const HWND combo = Control(IdComboBox1);
    const int wanted = Scale(DescriptionOf(IdComboBox1).height);
    auto field_height =
        static_cast<int>(::SendMessageW(combo, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0));
    for (int attempt = 0; attempt < 2; ++attempt) {
        RECT closed{};
        ::GetWindowRect(combo, &closed);
        const int error = wanted - (closed.bottom - closed.top);
        if (error == 0) break;
        field_height += error;
        ::SendMessageW(combo, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field_height);
    }
}

void TForm1::FormDpiChanged(UINT dpi, const RECT& suggested) {
    dpi_ = dpi;
    ApplyDpi();
    ::SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                   suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CALLBACK TForm1::ComboEditProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam,
                                       UINT_PTR, DWORD_PTR self) {
    if (message == WM_NCDESTROY) ::RemoveWindowSubclass(hwnd, &TForm1::ComboEditProc, 0);
    const LRESULT result = ::DefSubclassProc(hwnd, message, wparam, lparam);
    // A typed character completes the title; Backspace (and Delete, which types none) do not.
    if (message == WM_CHAR && wparam >= L' ' && wparam != 0x7F) {
        auto* const form = reinterpret_cast<TForm1*>(self);
        Guarded(form->hwnd_, [form] {
            form->ComboBox1AutoComplete();
            return LRESULT{0};
        });
    }
    return result;
}

void TForm1::ComboBox1AutoComplete() {
    const HWND combo = Control(IdComboBox1);
    const std::wstring typed = platform::WindowText(combo);
    DWORD start = 0;
    DWORD end = 0;
    ::SendMessageW(combo, CB_GETEDITSEL, reinterpret_cast<WPARAM>(&start),
                   reinterpret_cast<LPARAM>(&end));
    if (typed.empty() || end != typed.size()) return;  // only when typing at the end

    const LRESULT found = ::SendMessageW(combo, CB_FINDSTRING, static_cast<WPARAM>(-1),
                                         reinterpret_cast<LPARAM>(typed.c_str()));
    if (found == CB_ERR) return;
    ::SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(found), 0);
    // The completed part stays selected, so that typing on replaces it.
    ::SendMessageW(combo, CB_SETEDITSEL, 0, MAKELPARAM(typed.size(), -1));
}

void TForm1::FormCreate() {
    // Shown now, before the window is: it has no window to belong to yet.
    if (const auto refresh_error = catalogue::CreateAndRefresh(*desktop_, combo_items_)) {
        ShowError(nullptr, refresh_error);
    }
}

void TForm1::Button1Click() { catalogue::refreshwindows(*desktop_, combo_items_); }

void TForm1::Button2Click() { jump_control_->Button2Click(); }

std::wstring TForm1::ButtonCaption() { return platform::WindowText(Control(IdButton2)); }

void TForm1::SetButtonCaption(std::wstring_view caption) {
    ::SetWindowTextW(Control(IdButton2), std::wstring(caption).c_str());
}

std::wstring TForm1::FieldText(jumper::SizeField field) {
    return platform::WindowText(Control(FieldControl(field)));
}

int TForm1::SelectedIndex() {
    return static_cast<int>(::SendMessageW(Control(IdComboBox1), CB_GETCURSEL, 0, 0));
}

}  // namespace ui
