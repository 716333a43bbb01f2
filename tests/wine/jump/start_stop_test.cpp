// Start and stop through the real program: a target window of the test is chosen in the
// list, the fields are filled in, the wide button is pressed, and the target is watched.
//   jumping  default fields, then both fields 300, then min above max, changed while the
//            target jumps; the caption reads "Stop" after the first placement
//   stop     pressed during a placement, twice: the caption turns back to "Random" at the
//            next refresh, no second worker starts, and nothing moves once the worker ends
//   pumping  a target that runs a modal message loop inside every hide is visible after
//            each jump, after the stop, and after a close in the middle of such a hide
// What bad fields and no selection do, the host tests check; the error box, the error
// display test.
// Usage: jump_start_stop_test <path of jumper.exe>
#include <windows.h>

#include <chrono>
#include <string>
#include <vector>

#include "driver.h"
#include "jumper/jump_control.h"
#include "target_window.h"

using check::Check;
using check::Clock;
using check::Print;
using check::Seconds;
using driver::Program;
using jumper::kCaptionRandom;
using jumper::kCaptionStop;
using jumptest::Moved;
using jumptest::TargetWindow;
using namespace std::chrono_literals;

namespace {

// A pause is under 5 s: so many placements, and a little for Wine on a busy machine.
DWORD Within(std::size_t placements) { return static_cast<DWORD>(placements * 5000 + 2000); }

// Checks that every placement from the given one on has a size in the given range and its
// top-left on the screen.
void CheckPlacements(const char* what, const std::vector<Moved>& placements, std::size_t from,
                     long min_size, long max_size, Clock::time_point start) {
    const int screen_width = ::GetSystemMetrics(SM_CXSCREEN);
    const int screen_height = ::GetSystemMetrics(SM_CYSCREEN);
    for (std::size_t i = from; i < placements.size(); ++i) {
        const RECT& r = placements[i].rect;
        const long width = r.right - r.left;
        const long height = r.bottom - r.top;
        Print("%s: placement %zu at %.2f s: %s", what, i + 1, Seconds(start, placements[i].time),
              jumptest::Describe(r).c_str());
        Check(width >= min_size && width <= max_size && height >= min_size && height <= max_size,
              "%s: placement %zu is %ldx%ld, within %ld..%ld", what, i + 1, width, height,
              min_size, max_size);
        Check(r.left >= 0 && r.left < screen_width && r.top >= 0 && r.top < screen_height,
              "%s: placement %zu top-left %ld,%ld on the %dx%d screen", what, i + 1, r.left,
              r.top, screen_width, screen_height);
    }
}

// Changes the fields while the target jumps and checks the placements that follow. A change
// applies from the next refresh: the first placement after it may still have the old size,
// so the second is the one checked.
void Change(const Program& app, const TargetWindow& target, const char* what,
            const wchar_t* min_size, const wchar_t* max_size, long low, long high,
            Clock::time_point start) {
    app.SetFields(min_size, min_size, max_size, max_size);
    const auto changed = Clock::now();
    const auto moved = jumptest::WaitForPlacements(target, changed, 2, Within(2));
    Check(moved.size() >= 2, "jumping: two placements with %s (%zu)", what, moved.size());
    CheckPlacements(what, moved, 1, low, high, start);
}

// Returns whether the target jumps, so that the stop can be tested.
bool Jumping(const Program& app, const TargetWindow& target) {
    app.SetFields(L"100", L"100", L"300", L"300");
    if (!check::SetUp(app.Select(target.Title()), "the target is in the list")) return false;
    const auto start = Clock::now();
    app.Press();
    auto moved = jumptest::WaitForPlacements(target, start, 1, 5000);
    if (!Check(!moved.empty(), "jumping: the target is placed")) return false;
    Check(app.WaitForCaption(kCaptionStop, 2000).has_value(),
          "jumping: the button reads Stop after the first placement");
    Print("jumping: first placement %.3f s after the press", Seconds(start, moved[0].time));

    // The first placement has the start request's size, the second the first refresh's.
    moved = jumptest::WaitForPlacements(target, start, 2, Within(1));
    Check(moved.size() >= 2, "jumping: two placements with the defaults (%zu)", moved.size());
    CheckPlacements("defaults", moved, 0, 100, 299, start);

    Change(app, target, "both fields 300", L"300", L"300", 300, 300, start);
    Change(app, target, "min 300, max 100", L"300", L"100", 100, 299, start);
    return Check(app.CaptionIs(kCaptionStop), "jumping: the button reads Stop while jumping");
}

// Stop is double-clicked while the target hangs in the middle of being hidden, for longer
// than it takes to answer any message: the button reads "Stop" until the worker's next
// refresh, which does not wait for the target, so the second click only stops again.
void Stop(const Program& app, TargetWindow& target, int idle) {
    const int threads_before = app.Threads();
    target.HoldNextHide(2500ms);
    if (!check::SetUp(target.WaitForHeldHide(15s), "the target is being hidden")) return;
    ::Sleep(800);  // well into the hang
    const auto pressed = Clock::now();
    app.Press();
    Check(app.CaptionIs(kCaptionStop), "stop: the button reads Stop while the target hangs");
    ::Sleep(120);  // a double-click's second click
    app.Press();
    const int threads_after = app.Threads();
    Check(threads_after <= threads_before,
          "stop: the second press starts no worker (%d threads, %d before)", threads_after,
          threads_before);
    const auto waited = app.WaitForCaption(kCaptionRandom, 15000);
    if (!Check(waited.has_value(), "stop: the button reads Random within 15 s")) return;
    Print("stop: Random %.3f s after Stop", *waited);
    target.Settle();
    const auto random_shown = Clock::now();
    const auto before = jumptest::Placements(target.EventsSince(pressed));
    Print("stop: %zu placement(s) between Stop and Random", before.size());
    // The held hide's show, and at most the second half of a cycle that had not begun.
    Check(before.size() <= 2, "stop: the cycle under way finishes, no more (%zu placements)",
          before.size());
    // Once the worker has ended, nothing is left that could move the target: its last pause
    // is under 5 s.
    const int left = app.WaitForThreads(idle, 10000);
    target.Settle();
    const auto after = jumptest::Placements(target.EventsSince(random_shown));
    Check(check::Loss::WorkerLeft, left <= idle && after.empty(),
          "stop: the worker ends and nothing moves after the stop (%d threads, idle %d; %zu "
          "placements)",
          left, idle, after.size());
    Check(::IsWindowVisible(target.Handle()) != FALSE, "stop: the target is left visible");
    Check(app.CaptionIs(kCaptionRandom), "stop: the button stays Random");
}

// The target's program pumps messages for 300 ms inside each of its hides. A show that came
// inside the hide would be undone as the hide completes: each must come after it.
void Pumping(Program& app, TargetWindow& target, int idle) {
    target.PumpInHides(300ms);
    if (!check::SetUp(app.Select(target.Title()), "the pumping target is in the list")) return;
    const auto start = Clock::now();
    app.Press();
    const auto moved = jumptest::WaitForPlacements(target, start, 4, Within(4));
    Check(moved.size() >= 4, "pumping: two whole cycles (%zu placements)", moved.size());
    const auto events = target.EventsSince(start);
    int hides = 0;
    for (const jumptest::WindowEvent& hide : events) {
        if (hide.message != WM_SHOWWINDOW || hide.shown) continue;
        std::vector<jumptest::WindowEvent> until;
        for (const jumptest::WindowEvent& event : events) {
            if (event.time <= hide.time + 1500ms) until.push_back(event);
        }
        ++hides;
        Check(check::Loss::TargetHidden, !jumptest::LeftHidden(until),
              "pumping: the target is visible 1.5 s after hide %d began", hides);
    }
    check::SetUp(hides >= 2, "pumping: the target was hidden twice (%d)", hides);

    app.Press();
    Check(app.WaitForCaption(kCaptionRandom, 15000).has_value(),
          "pumping: the button reads Random within 15 s of Stop");
    app.WaitForThreads(idle, 10000);
    target.Settle();
    Check(check::Loss::TargetHidden,
          ::IsWindowVisible(target.Handle()) != FALSE && !jumptest::LeftHidden(target.Events()),
          "pumping: the target is visible after the stop");

    target.PumpInHides(300ms);
    app.Press();
    if (!check::SetUp(target.WaitForHeldHide(15s), "the pumping target is being hidden")) return;
    const auto exit_time = app.CloseAndCheckExit(15000);
    if (exit_time) Print("pumping: closed in the middle of a hide, exited in %.3f s", *exit_time);
    target.Settle();
    Check(check::Loss::TargetHidden,
          ::IsWindowVisible(target.Handle()) != FALSE && !jumptest::LeftHidden(target.Events()),
          "pumping: the target is visible after the close");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        Print("usage: jump_start_stop_test <jumper.exe>");
        return 2;
    }
    TargetWindow::Options options;
    options.title = L"Jump start-stop target";
    TargetWindow target(options);
    options.title = L"Jump pumping target";
    TargetWindow pumping(options);
    return driver::Session("jump_start_stop", argv[1], [&](Program& app) {
        const int idle = app.Threads();
        check::Section("jumping");
        if (Jumping(app, target)) {
            check::Section("stop");
            Stop(app, target, idle);
        }
        check::Section("pumping");
        Pumping(app, pumping, idle);
    });
}
