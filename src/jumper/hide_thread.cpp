#include "jumper/hide_thread.h"

#include <utility>

#include "jumper/random.h"
#include "jumper/strtoint.h"
#include "platform/exception.h"

namespace jumper {

std::uint32_t DrawSize(HideThreadHost& host, SizeField min_field, SizeField max_field) {
    const std::int32_t max = StrToInt(host.FieldText(max_field));
    const std::int32_t min = StrToInt(host.FieldText(min_field));
    return static_cast<std::uint32_t>(RandomRange(min, max));
}

THideThread::THideThread(std::shared_ptr<platform::Desktop> desktop,
                         std::shared_ptr<platform::UiThread> ui_thread, HideThreadHost& host,
                         std::shared_ptr<PlacementGate> gate)
    : TThread(std::move(ui_thread)),
      desktop_(std::move(desktop)),
      host_(host),
      gate_(std::move(gate)) {}

void THideThread::Resume() {
    if (Started()) return;
    runningthread = true;
    try {
        TThread::Resume();
    } catch (...) {
        runningthread = false;
        throw;
    }
}

void THideThread::Execute() {
    try {
        while (runningthread) {
            Place(platform::kSwShowNormal);
            Synchronize([this] { CheckAnswer(); });
            Pause();
            Place(platform::kSwHide);  // hidden and at once shown again elsewhere
            Synchronize([this] { CheckAnswer(); });
            Pause();
        }
    } catch (...) {
        // Any error ends the loop without a message, and the worker is no longer running,
        // whoever asked: a flag left set would keep "Random" from ever starting another.
        runningthread = false;
    }
    Synchronize([this] { CheckAnswer(); });
}

void THideThread::DoTerminate() { host_.WorkerEnded(*this); }

void THideThread::CheckAnswer() {
    wdth = DrawSize(host_, SizeField::MinWidth, SizeField::MaxWidth);
    hght = DrawSize(host_, SizeField::MinHeight, SizeField::MaxHeight);
    host_.ShowRunState(*this, runningthread);
}

void THideThread::Place(int show_command) {
    const platform::WindowHandle target = activewindow;
    if (target == 0) return;

    // Once the process has begun to end, no placement starts; one under way finishes first.
    const PlacementGate::Pass pass(*gate_, *this, target, desktop_->GetTickCount64());
    if (!pass) throw platform::Exception(L"The program is closing");

    // A hung target would block the plain calls for as long as it hangs. Decided once, so
    // that both calls reach the target the same way: a hide posted to its queue and a show
    // sent past it would land in the wrong order and leave the window hidden.
    const bool hung = desktop_->IsHungAppWindow(target);
    if (hung) {
        desktop_->ShowWindowAsync(target, show_command);
    } else {
        desktop_->ShowWindow(target, show_command);
    }
    const std::int32_t y = Random(desktop_->GetSystemMetrics(platform::kSmCyScreen));
    const std::int32_t x = Random(desktop_->GetSystemMetrics(platform::kSmCxScreen));
    const unsigned flags = platform::kSwpShowWindow | (hung ? platform::kSwpAsyncWindowPos : 0u);
    desktop_->SetWindowPos(target, platform::kHwndTop, x, y, static_cast<std::int32_t>(wdth.load()),
                           static_cast<std::int32_t>(hght.load()), flags);
}

void THideThread::Pause() { desktop_->Sleep(static_cast<std::uint32_t>(Random(5000))); }

}  // namespace jumper
