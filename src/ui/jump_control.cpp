#include "ui/jump_control.h"

#include <utility>

#include "catalogue/catalogue.h"
#include "jumper/random.h"
#include "jumper/strtoint.h"
#include "platform/exception.h"

namespace ui {

using jumper::SizeField;

TJumpControl::TJumpControl(JumpPanel& panel, std::shared_ptr<platform::Desktop> desktop,
                           std::shared_ptr<platform::UiThread> ui_thread,
                           std::shared_ptr<jumper::PlacementGate> gate)
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
        jumper::StrToHandle(std::wstring(handle_text.begin(), handle_text.end()));

    // Every field is read before anything changes, so a bad one changes nothing. The first
    // failing text is reported in the order Max Width, Min Width, Max Height, Min Height.
    const std::int32_t max_width = jumper::StrToInt(panel_.FieldText(SizeField::MaxWidth));
    const std::int32_t min_width = jumper::StrToInt(panel_.FieldText(SizeField::MinWidth));
    const std::int32_t max_height = jumper::StrToInt(panel_.FieldText(SizeField::MaxHeight));
    const std::int32_t min_height = jumper::StrToInt(panel_.FieldText(SizeField::MinHeight));

    activewindow = target;
    std::shared_ptr<jumper::THideThread> worker = HT;
    if (!worker || !worker->runningthread) {
        worker = std::make_shared<jumper::THideThread>(desktop_, ui_thread_, *this, gate_);
    }
    worker->SetTarget(activewindow, entry.winowner);
    worker->wdth = static_cast<std::uint32_t>(jumper::RandomRange(min_width, max_width));
    worker->hght = static_cast<std::uint32_t>(jumper::RandomRange(min_height, max_height));
    worker->Resume();  // a worker that cannot start does not replace the current one
    HT = std::move(worker);
}

std::wstring TJumpControl::FieldText(SizeField field) { return panel_.FieldText(field); }

void TJumpControl::ShowRunState(const jumper::THideThread& worker, bool running) {
    if (&worker == HT.get()) panel_.SetButtonCaption(running ? kCaptionStop : kCaptionRandom);
}

void TJumpControl::WorkerEnded(const jumper::THideThread& worker) {
    if (&worker == HT.get()) panel_.SetButtonCaption(kCaptionRandom);
}

}  // namespace ui
