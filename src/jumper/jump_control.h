// The start and stop control behind the wide button: starts, retargets and stops the jump
// worker. User-interface thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "jumper/hide_thread.h"
#include "jumper/placement_gate.h"
#include "platform/desktop.h"
#include "platform/ui_thread.h"

namespace jumper {

// The controls the start and stop control reads and sets: the wide button, the four size
// fields and the drop-down list.
class JumpPanel : public SizeFields {
public:
    virtual std::wstring ButtonCaption() = 0;
    virtual void SetButtonCaption(std::wstring_view caption) = 0;
    virtual int SelectedIndex() = 0;  // of the drop-down list; -1 for none

protected:
    JumpPanel() = default;
    JumpPanel(const JumpPanel&) = default;
    JumpPanel& operator=(const JumpPanel&) = default;
    ~JumpPanel() = default;
};

inline constexpr std::wstring_view kCaptionRandom = L"Random";
inline constexpr std::wstring_view kCaptionStop = L"Stop";

class TJumpControl final : public HideThreadHost {
public:
    TJumpControl(JumpPanel& panel, std::shared_ptr<platform::Desktop> desktop,
                 std::shared_ptr<platform::UiThread> ui_thread,
                 std::shared_ptr<PlacementGate> gate);

    // "Random" starts a worker on the selected window, or retargets the running one;
    // "Stop" asks the running worker to end. The caption alone decides which.
    void Button2Click();

    // The current worker, if any; an ended one stays readable and counts as not running.
    const std::shared_ptr<THideThread>& Worker() const { return HT; }
    std::uint32_t ActiveWindow() const { return activewindow; }

    // HideThreadHost: sizes from the fields as they are now; only the current worker sets
    // the caption.
    WindowSize NextSize() override;
    void ShowRunState(const THideThread& worker, bool running) override;
    void WorkerEnded(const THideThread& worker) override;

private:
    JumpPanel& panel_;
    std::shared_ptr<platform::Desktop> desktop_;
    std::shared_ptr<platform::UiThread> ui_thread_;
    std::shared_ptr<PlacementGate> gate_;

    std::uint32_t activewindow = 0;
    std::shared_ptr<THideThread> HT;
};

}  // namespace jumper
