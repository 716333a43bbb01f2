// The jump worker: restores the target, sizes and places it at random, and pauses, again
// and again until its run flag is cleared.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "jumper/placement_gate.h"
#include "jumper/tthread.h"
#include "platform/desktop.h"
#include "platform/ui_thread.h"

namespace jumper {

class THideThread;

// The four size fields, named by the labels beside them.
enum class SizeField { MinWidth, MinHeight, MaxWidth, MaxHeight };

// Where the four fields' texts are read.
class SizeFields {
public:
    virtual std::wstring FieldText(SizeField field) = 0;

protected:
    SizeFields() = default;
    SizeFields(const SizeFields&) = default;
    SizeFields& operator=(const SizeFields&) = default;
    ~SizeFields() = default;
};

struct WindowSize {
    std::uint32_t width;
    std::uint32_t height;
};

// Converts Max Width and Min Width and draws the width, then converts Max Height and Min
// Height and draws the height, one draw each: the first bad field in that order is the one
// reported, and a bad height field comes after the width's draw.
WindowSize DrawSize(SizeFields& fields);

// The user-interface side of a worker. Called on the user-interface thread only.
class HideThreadHost {
public:
    // The size of the next placement. Raises the error of a field that holds no number.
    virtual WindowSize NextSize() = 0;
    // A refresh's word on the run state, for the start and stop button.
    virtual void ShowRunState(const THideThread& worker, bool running) = 0;
    // The worker's body has returned.
    virtual void WorkerEnded(const THideThread& worker) = 0;

protected:
    HideThreadHost() = default;
    HideThreadHost(const HideThreadHost&) = default;
    HideThreadHost& operator=(const HideThreadHost&) = default;
    ~HideThreadHost() = default;
};

class THideThread final : public TThread {
public:
    THideThread(std::shared_ptr<platform::Desktop> desktop,
                std::shared_ptr<platform::UiThread> ui_thread, HideThreadHost& host,
                std::shared_ptr<PlacementGate> gate);

    // Shared with the user-interface thread, which sets them at any time.
    std::atomic<std::uint32_t> activewindow{0};
    // Who owned activewindow when it was chosen (WindowOwner's thread in the high half):
    // only a window of that owner is moved. Set before activewindow, so a placement under way
    // during the change reads the old window with the new owner at worst: a window of another
    // program is then left alone, and one of the same program is moved once more, as by a
    // placement that began just before the press.
    std::atomic<std::uint64_t> activeowner{0};
    void SetTarget(platform::WindowHandle window, platform::WindowOwner owner);
    std::atomic<std::uint32_t> wdth{0};
    std::atomic<std::uint32_t> hght{0};
    void SetSize(WindowSize size);
    std::atomic<bool> runningthread{false};

    // Raises the run flag and starts the body: the worker counts as running from here, so
    // neither a second start nor a stop that comes before the body begins is lost.
    void Resume() override;

    // The synchronised refresh: draws the next size and reports the run state.
    void CheckAnswer();

protected:
    void Execute() override;
    void DoTerminate() override;

private:
    void Place(int show_command);
    void Pause();

    std::shared_ptr<platform::Desktop> desktop_;
    HideThreadHost& host_;
    std::shared_ptr<PlacementGate> gate_;
};

}  // namespace jumper
