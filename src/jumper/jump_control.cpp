#include "jumper/jump_control.h"

#include <utility>

#include "catalogue/catalogue.h"
#include "jumper/strtoint.h"
#include "platform/exception.h"

namespace jumper {

TJumpControl::TJumpControl(JumpPanel& panel, std::shared_ptr<platform::Desktop> desktop,
                           std::shared_ptr<platform::UiThread> ui_thread,
                           std::shared_ptr<PlacementGate> gate)
    : panel_(panel),
      desktop_(std::move(desktop)),
      ui_thread_(std::move(ui_thread)),
      gate_(std::move(gate)) {}

void TJumpControl::Button2Click() {
    if (panel_.ButtonCaption() == kCaptionStop) {
        // The worker's next refresh, at most a pause away, turns the caption back; until
        // then a press (a double-click's second click among them) only repeats the stop.
        if (HT) HT->runningthread = false;
        return;
    }

    const int index = panel_.SelectedIndex();
    if (index < 0 || index >= catalogue::win_ptr) {
        throw platform::Exception(L"Choose a window from the list first.");
    }
    const catalogue::WinEntry& entry = *catalogue::win_list[static_cast<std::size_t>(index)];
    const std::string& handle_text = entry.winhandle;
    const std::uint32_t target =
        StrToHandle(std::wstring(handle_text.begin(), handle_text.end()));

    // A bad field creates and starts nothing.
    const WindowSize size = DrawSize(panel_);

    activewindow = target;
    std::shared_ptr<THideThread> worker = HT;
    if (!worker || !worker->runningthread) {
        worker = std::make_shared<THideThread>(desktop_, ui_thread_, *this, gate_);
    }
    worker->SetTarget(activewindow, entry.winowner);
    worker->SetSize(size);
    worker->Resume();  // a worker that cannot start does not replace the current one
    HT = std::move(worker);
}

WindowSize TJumpControl::NextSize() { return DrawSize(panel_); }

void TJumpControl::ShowRunState(const THideThread& worker, bool running) {
    if (&worker == HT.get()) panel_.SetButtonCaption(running ? kCaptionStop : kCaptionRandom);
}

void TJumpControl::WorkerEnded(const THideThread& worker) {
    if (&worker == HT.get()) panel_.SetButtonCaption(kCaptionRandom);
}

}  // namespace jumper
