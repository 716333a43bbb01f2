// The main window: its controls, its handlers, and the dispatcher that shows their errors.
#pragma once

#include <windows.h>

#include <array>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "catalogue/catalogue.h"
#include "jumper/jump_control.h"
#include "jumper/placement_gate.h"
#include "platform/desktop.h"
#include "platform/unique_handle.h"
#include "platform/win32.h"
#include "ui/form1_layout.h"

namespace ui {

// Shows an error the way every handler's error is shown: a modal box with the message.
void ShowErrorBox(HWND owner, std::wstring_view message);
// Shows an error as every error is shown: the program's own with its message, any other as
// "Out of memory" or "Unexpected error".
void ShowError(HWND owner, const std::exception_ptr& failure) noexcept;

// The drop-down list as the catalogue fills it.
class ComboBoxItems final : public catalogue::ItemList {
public:
    void Attach(HWND combo) { combo_ = combo; }
    void BeginUpdate() override;
    void EndUpdate() noexcept override;
    void Clear(int count, std::size_t bytes) override;
    bool Add(std::string_view title) override;

private:
    HWND combo_ = nullptr;
};

class TForm1 final : public jumper::JumpPanel {
public:
    // Creates the window, hidden, with its controls; FormCreate has run when it returns.
    // Raises the error that kept the window or one of its parts from being made.
    static std::unique_ptr<TForm1> Create(HINSTANCE instance,
                                          std::shared_ptr<platform::Desktop> desktop,
                                          std::shared_ptr<jumper::PlacementGate> gate);
    TForm1(const TForm1&) = delete;
    TForm1& operator=(const TForm1&) = delete;
    ~TForm1();

    HWND Handle() const { return hwnd_; }

    // JumpPanel
    std::wstring ButtonCaption() override;
    void SetButtonCaption(std::wstring_view caption) override;
    std::wstring FieldText(jumper::SizeField field) override;
    int SelectedIndex() override;

    // Only Create makes a form.
    class Key {
        friend class TForm1;
        Key() = default;
    };
    TForm1(Key, std::shared_ptr<platform::Desktop> desktop,
           std::shared_ptr<jumper::PlacementGate> gate);

private:

    static LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
    static LRESULT CALLBACK ComboEditProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam,
                                          UINT_PTR id, DWORD_PTR self);
    LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);

    void CreateControls();
    // Font, icons and control rectangles for the current DPI; again after a DPI change.
    void ApplyDpi();
    void FitComboHeight();
    SIZE FrameSize(UINT dpi) const;
    void FormCreate();
    void FormDpiChanged(UINT dpi, const RECT& suggested);
    void Button1Click();
    void Button2Click();
    void ComboBox1AutoComplete();

    HWND Control(ControlId id) const { return ::GetDlgItem(hwnd_, id); }
    int Scale(int pixels) const { return ::MulDiv(pixels, static_cast<int>(dpi_), 96); }

    HWND hwnd_ = nullptr;
    UINT dpi_ = 96;
    HWND focus_ = nullptr;  // the control to give focus back to
    platform::unique_hfont font_;
    platform::unique_hicon icon_large_;
    platform::unique_hicon icon_small_;
    ComboBoxItems combo_items_;

    std::shared_ptr<platform::Desktop> desktop_;
    std::shared_ptr<jumper::PlacementGate> gate_;
    std::shared_ptr<platform::WindowUiThread> ui_thread_;
    std::optional<jumper::TJumpControl> jump_control_;
    std::exception_ptr creation_error_;  // why WM_CREATE failed
};

// The single main window, for the life of the message loop.
extern TForm1* Form1;

}  // namespace ui
