#include "jumper/hide_thread.h"

#include <utility>

#include "jumper/random.h"
#include "jumper/strtoint.h"
#include "platform/exception.h"

namespace jumper {

WindowSize DrawSize(SizeFields& fields) {
    const std::int32_t max_width = StrToInt(fields.FieldText(SizeField::MaxWidth));
    const std::int32_t min_width = StrToInt(fields.FieldText(SizeField::MinWidth));
    const auto width = static_cast<std::uint32_t>(RandomRange(min_width, max_width));
    const std::int32_t max_height = StrToInt(fields.FieldText(SizeField::MaxHeight));
    const std::int32_t min_height = StrToInt(fields.FieldText(SizeField::MinHeight));
    return {width, static_cast<std::uint32_t>(RandomRange(min_height, max_height))};
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
    SetSize(host_.NextSize());
    host_.ShowRunState(*this, runningthread);
}

void THideThread::SetSize(WindowSize size) {
    wdth = size.width;
    hght = size.height;
}

void THideThread::SetTarget(platform::WindowHandle window, platform::WindowOwner owner) {
    activeowner = std::uint64_t{owner.thread} << 32 | owner.process;
    activewindow = window;
}

void THideThread::Place(int show_command) {
    const platform::WindowHandle target = activewindow;
    if (target == 0) return;
    const std::uint64_t owner = activeowner;

    // Once the process has begun to end, no placement starts; one under way finishes first.
    // From here to the end of the placement nothing allocates or takes a lock of the
    // program's: the end of the process may have to end this thread in the middle of it.
    const PlacementGate::Pass pass(*gate_, *desktop_, target);
    if (!pass) throw platform::Exception(L"The program is closing");

    // A handle that no longer names the chosen window, closed and perhaps made again for
    // someone else's, is left alone; so is a window whose program has stopped answering,
    // until it answers again: it would hold the worker, and Stop with it. The position is
    // drawn all the same, as for a window that has been closed.
    const bool reachable =
        desktop_->GetWindowOwner(target) ==
            platform::WindowOwner{static_cast<std::uint32_t>(owner >> 32),
                                  static_cast<std::uint32_t>(owner)} &&
        !desktop_->IsHungAppWindow(target);
    // Each call waits for the target: the show cannot begin before the hide is done, however
    // the target's program pumps messages while it is being hidden.
    if (reachable) desktop_->ShowWindow(target, show_command);
    const std::int32_t y = Random(desktop_->GetSystemMetrics(platform::kSmCyScreen));
    const std::int32_t x = Random(desktop_->GetSystemMetrics(platform::kSmCxScreen));
    if (reachable) {
        desktop_->SetWindowPos(target, platform::kHwndTop, x, y,
                               static_cast<std::int32_t>(wdth.load()),
                               static_cast<std::int32_t>(hght.load()), platform::kSwpShowWindow);
    }
}

void THideThread::Pause() { desktop_->Sleep(static_cast<std::uint32_t>(Random(5000))); }

}  // namespace jumper
