// Rough use of the real program, one run of it throughout:
//   toggles        200 presses (or as many as asked) of the wide button in quick succession
//                  start workers and leave at most one, and none once it is stopped
//                  (threads of the process counted); once the stopped workers have
//                  finished their cycle the caption tells the truth
//   closed target  the target is closed while it jumps: the program runs on, "Stop" works
//   hung target    the target's thread stops taking messages: it is left where it is, "Stop"
//                  still ends the worker, and it jumps again once it answers
//   long run       only when asked for, for so many minutes: one target jumps the whole time
//                  while the four fields change every 30 s, now and then to a text that is no
//                  number, which ends the worker quietly before a new start; every 3 minutes
//                  the target is closed and another chosen; one target stops answering for
//                  30 s. The program's memory and handles are printed as it starts, after its
//                  first minute and at its end.
// Usage: jump_rough_use_test <path of jumper.exe> [presses [long-run minutes]]
#include <windows.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "driver.h"
#include "jumper/jump_control.h"
#include "target_window.h"
#include "ui/form1_layout.h"

using namespace std::chrono_literals;
using namespace check;
using driver::Program;
using jumper::kCaptionRandom;
using jumper::kCaptionStop;
using jumptest::TargetWindow;

namespace {

// Longer than any pause (under 5 s): the worker has met the target since.
constexpr DWORD kLongerThanAPause = 5500;

TargetWindow::Options Titled(const wchar_t* title) {
    TargetWindow::Options options;
    options.title = title;
    return options;
}

// Stops the worker if the button says one runs; whether the button then reads Random.
bool StopIfRunning(const Program& app, DWORD timeout_ms, const char* what) {
    if (app.CaptionIs(kCaptionStop)) app.Press();
    const auto waited = app.WaitForCaption(kCaptionRandom, timeout_ms);
    if (waited) Print("%s: Random %.3f s after Stop", what, *waited);
    return Check(waited.has_value(), "%s: the button reads Random within %lu s", what,
                 timeout_ms / 1000);
}

// Stops the worker and waits for its thread to end: the time from the press to the end is a
// figure. Where a worker must be running the button has to read Stop; after the toggles it
// may read either.
void StopToEnd(const Program& app, int idle, const char* what, bool must_run) {
    const bool stopping = app.CaptionIs(kCaptionStop);
    if (must_run) Check(stopping, "%s: the button reads Stop before the stop", what);
    const auto pressed = Clock::now();
    StopIfRunning(app, 15000, what);
    const int after = app.WaitForThreads(idle, 20000);
    const double to_end = Seconds(pressed, Clock::now());
    Print("%s: %d thread(s) %.3f s after the stop", what, after, to_end);
    if (Check(Loss::WorkerLeft, after <= idle,
              "%s: the worker ends after the stop (%d threads, idle %d)", what, after, idle) &&
        stopping) {
        check::Figure("stop_to_end_seconds", to_end);
    }
}

// Read once every stopped worker has finished its cycle: "Stop" needs a worker alive,
// "Random" a target that keeps still until the last worker has ended, a pause at most.
void CaptionTellsTruth(const Program& app, const TargetWindow& target, int idle,
                       const char* what) {
    if (app.CaptionIs(kCaptionStop)) {
        const int threads = app.Threads();
        Check(Loss::UntrueCaption, threads > idle,
              "%s: the button reads Stop with no worker alive (%d threads, idle %d)", what,
              threads, idle);
        return;
    }
    target.Settle();  // what was queued before the caption was read
    const auto since = Clock::now();
    const int threads = app.WaitForThreads(idle, kLongerThanAPause);
    target.Settle();
    const std::size_t moved = jumptest::Placements(target.EventsSince(since)).size();
    Check(Loss::UntrueCaption, moved == 0,
          "%s: the button reads Random while the target moves (%zu placements, %d threads, "
          "idle %d)",
          what, moved, threads, idle);
}

void Toggles(const Program& app, const TargetWindow& target, int idle, int total) {
    if (!check::SetUp(app.Select(target.Title()), "the toggled target is in the list")) return;

    // Presses come singly and in bursts of up to four that reach the program's queue
    // together, so that a press often lands just after a start, before its worker's first
    // refresh has changed the caption.
    std::mt19937 random(::GetTickCount());
    std::uniform_int_distribution<int> gap(0, 60);
    std::uniform_int_distribution<int> burst(1, 4);
    int most = idle;
    int presses = 0;
    int bursts = 0;
    // Busy threads keep the processors taken, so that a just-started worker may wait a
    // while before its body runs: the presses that follow a start then find it not yet
    // begun.
    std::atomic<bool> spinning{true};
    std::vector<std::thread> spinners;
    for (int i = 0; i < 3; ++i) {
        spinners.emplace_back([&spinning] {
            while (spinning.load(std::memory_order_relaxed)) {
            }
        });
    }
    const auto start = Clock::now();
    while (presses < total) {
        const int count = std::min(burst(random), total - presses);
        for (int i = 0; i < count; ++i) driver::PostClick(app.Control(ui::IdButton2));
        presses += count;
        if (count > 1) ++bursts;
        most = std::max(most, app.Threads());
        ::Sleep(static_cast<DWORD>(gap(random)));
    }
    spinning = false;
    for (std::thread& spinner : spinners) spinner.join();
    check::SetUp(app.WaitForPosted(), "the presses are handled");
    most = std::max(most, app.Threads());  // the last presses' worker, too
    const auto last_press = Clock::now();
    Print("toggles: %d presses (%d bursts) in %.2f s; threads: %d idle, at most %d", presses,
          bursts, Seconds(start, last_press), idle, most);
    check::Figure("presses", presses);
    Check(most > idle, "toggles: the presses start workers (at most %d threads, %d idle)", most,
          idle);

    // Workers that were stopped finish their cycle, about 10 s at most; then only the
    // current one is left, if the button says that one runs. Once no worker is left at all
    // nothing changes any more.
    int settled = 0;
    bool running = false;
    driver::WaitFor(
        [&] {
            running = app.CaptionIs(kCaptionStop);
            settled = app.Threads();
            return settled <= idle || (settled <= idle + (running ? 1 : 0) &&
                                       Clock::now() >= last_press + 11s);
        },
        26000);
    Print("toggles: %d thread(s) once settled, %.1f s after the last press, the button reads %s",
          settled, Seconds(last_press, Clock::now()), running ? "Stop" : "Random");
    Check(Loss::WorkerLeft, settled <= idle + (running ? 1 : 0),
          "toggles: no worker is left but the one the button shows (%d threads, %d idle)",
          settled, idle);
    CaptionTellsTruth(app, target, idle, "toggles");

    StopToEnd(app, idle, "toggles", false);
    Check(Loss::TargetHidden, ::IsWindowVisible(target.Handle()) != FALSE,
          "toggles: the target is left visible");
}

void ClosedTarget(const Program& app, TargetWindow& target) {
    if (!check::SetUp(app.Select(target.Title()), "the closed target is in the list")) return;
    const auto start = Clock::now();
    app.Press();
    if (!check::SetUp(!jumptest::WaitForPlacements(target, start, 1, 5000).empty(),
                      "the closed target jumps")) {
        return;
    }
    target.Close();
    if (!check::SetUp(!::IsWindow(target.Handle()), "the closed target is gone")) return;
    ::Sleep(kLongerThanAPause);  // a placement on the gone window is tried meanwhile
    Check(Loss::Crash, app.Running(), "closed target: the program is still running");
    Check(driver::Responds(app.Window(), 2000), "closed target: the main window answers");
    Check(app.CaptionIs(kCaptionStop), "closed target: the button reads Stop while jumping");
    StopIfRunning(app, 15000, "closed target");
    Check(Loss::Crash, app.Running(), "closed target: the program runs on after the stop");
}

// The target stops taking messages before the press, long enough for the system to find it
// not answering: its placements leave it where it is while the worker goes on, so the
// button reads Stop at once and Stop ends the worker; a worker started again jumps the
// target once it answers, with nothing made up for the jumps it missed.
void HungTarget(const Program& app, int idle, TargetWindow& target) {
    if (!check::SetUp(app.Select(target.Title()), "the hung target is in the list")) return;
    // Five seconds to be found not answering, up to ten for a stopped worker's cycle, and
    // room to start again before it answers.
    target.Block(22s);
    if (!check::SetUp(driver::WaitFor([&] { return ::IsHungAppWindow(target.Handle()); }, 10000),
                      "the system finds the hung target not answering")) {
        return;
    }
    app.Press();
    Check(app.WaitForCaption(kCaptionStop, 2000).has_value(),
          "hung target: the button reads Stop at once");
    StopToEnd(app, idle, "hung target", true);
    Check(driver::Responds(app.Window(), 2000),
          "hung target: the main window answers while the target hangs");

    app.Press();
    Check(app.WaitForCaption(kCaptionStop, 2000).has_value(),
          "hung target: started again, the button reads Stop at once");
    if (!check::SetUp(::IsHungAppWindow(target.Handle()) != FALSE,
                      "the hung target still does not answer") ||
        !check::SetUp(
            driver::WaitFor([&] { return !::IsHungAppWindow(target.Handle()); }, 20000),
            "the hung target answers again")) {
        return;
    }
    const auto answered = Clock::now();
    const auto moved = jumptest::WaitForPlacements(target, answered, 1, kLongerThanAPause);
    Check(!moved.empty(), "hung target: it jumps again once it answers");
    const auto at_once = std::count_if(moved.begin(), moved.end(), [&](const jumptest::Moved& m) {
        return m.time - answered < 300ms;
    });
    Check(at_once <= 1, "hung target: no jumps made up on answering (%td at once)", at_once);
    StopToEnd(app, idle, "hung target, answering", true);
}

struct Fields {
    const wchar_t* min_width;
    const wchar_t* min_height;
    const wchar_t* max_width;
    const wchar_t* max_height;
};
constexpr std::array<Fields, 5> kFieldSets = {{{L"100", L"100", L"300", L"300"},
                                              {L"300", L"300", L"300", L"300"},
                                              {L"50", L"80", L"400", L"250"},
                                              {L"300", L"300", L"100", L"100"},
                                              {L"$64", L"$64", L"$C8", L"$C8"}}};
constexpr Fields kNoNumber = {L"100", L"100", L"abc", L"300"};

void SetFields(const Program& app, const Fields& fields) {
    app.SetFields(fields.min_width, fields.min_height, fields.max_width, fields.max_height);
}

// Chooses the target and presses Random; whether it jumps.
bool StartOn(const Program& app, const TargetWindow& target) {
    if (!check::SetUp(app.Select(target.Title()), "%s is in the list",
                      check::Narrow(target.Title()).c_str())) {
        return false;
    }
    const auto start = Clock::now();
    app.Press();
    return Check(!jumptest::WaitForPlacements(target, start, 1, 10000).empty(),
                 "long run: %s jumps", check::Narrow(target.Title()).c_str());
}

std::unique_ptr<TargetWindow> LongRunTarget(int number) {
    return std::make_unique<TargetWindow>(
        Titled((L"Jump target long run " + std::to_wstring(number)).c_str()));
}

void LongRun(const Program& app, int idle, double minutes) {
    const auto start = Clock::now();
    const auto end = start + std::chrono::duration_cast<Clock::duration>(
                                 std::chrono::duration<double>(minutes * 60));
    driver::PrintUsage("long_run_start", app.UsageNow());
    int targets = 1;
    std::unique_ptr<TargetWindow> target = LongRunTarget(targets);
    std::size_t field_set = 0;
    SetFields(app, kFieldSets[field_set]);
    StartOn(app, *target);
    auto last_press = Clock::now();
    for (int tick = 1;; ++tick) {
        const auto at = start + tick * 30s;
        if (at > end) break;
        std::this_thread::sleep_until(at);
        const int second = tick * 30;
        if (!Check(Loss::Crash, app.Running(), "long run: the program runs at %d s",
                   second)) {
            return;
        }
        Check(Loss::Crash, !app.ShowsDialog(), "long run: no error box at %d s", second);
        if (Clock::now() - last_press >= 11s) CaptionTellsTruth(app, *target, idle, "long run");
        if (second == 60) driver::PrintUsage("long_run_settled", app.UsageNow());

        if (tick % 6 == 0) {
            Print("long run, %d s: the target is closed, another chosen", second);
            target->Close();
            ::Sleep(kLongerThanAPause);  // a placement on the gone window is tried meanwhile
            StopToEnd(app, idle, "long run, closed target", true);
            target = LongRunTarget(++targets);
            StartOn(app, *target);
            last_press = Clock::now();
        } else if (tick == 3) {
            Print("long run, %d s: the target stops answering for 30 s", second);
            target->Block(30s);
        } else if (tick % 4 == 2) {
            Print("long run, %d s: a field that is no number ends the worker", second);
            SetFields(app, kNoNumber);
            const auto waited = app.WaitForCaption(kCaptionRandom, 20000);
            if (waited) Print("long run: Random %.3f s after the field turned bad", *waited);
            Check(waited.has_value(), "long run: the button reads Random within 20 s");
            Check(!driver::WaitForMessageBox(app.ThreadId(), 500).has_value(),
                  "long run: the worker's end shows no message");
            const int after = app.WaitForThreads(idle, 20000);
            Check(Loss::WorkerLeft, after <= idle,
                  "long run: the worker ends on the bad field (%d threads, idle %d)", after,
                  idle);
            CaptionTellsTruth(app, *target, idle, "long run, bad field");
            field_set = (field_set + 1) % kFieldSets.size();
            SetFields(app, kFieldSets[field_set]);
            StartOn(app, *target);
            last_press = Clock::now();
        } else {
            field_set = (field_set + 1) % kFieldSets.size();
            SetFields(app, kFieldSets[field_set]);
        }
    }
    StopToEnd(app, idle, "long run", true);
    Check(Loss::TargetHidden,
          ::IsWindowVisible(target->Handle()) != FALSE && !jumptest::LeftHidden(target->Events()),
          "long run: the target is left visible");
    driver::PrintUsage("long_run_end", app.UsageNow());
    const double ran = Seconds(start, Clock::now()) / 60;
    Print("long run: %.1f minutes, %d targets", ran, targets);
    check::Figure("minutes", ran);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        Print("usage: jump_rough_use_test <jumper.exe> [presses [long-run minutes]]");
        return 2;
    }
    const int presses = argc > 2 ? std::atoi(argv[2]) : 200;
    const double minutes = argc > 3 ? std::atof(argv[3]) : 0;
    const TargetWindow toggled(Titled(L"Jump target toggled"));
    TargetWindow closed(Titled(L"Jump target closed"));
    // Hangs at the end: not waited for when the test ends.
    auto* const hung = new TargetWindow(Titled(L"Jump target hung"));

    const int code = driver::Session("jump_rough_use", argv[1], [&](Program& app) {
        const int idle = app.Threads();
        check::Section("toggles");
        Toggles(app, toggled, idle, presses);
        check::Section("closed target");
        ClosedTarget(app, closed);
        check::Section("hung target");
        HungTarget(app, idle, *hung);
        if (minutes > 0) {
            check::Section("long run");
            LongRun(app, idle, minutes);
        }
    });
    std::fflush(stdout);
    ::ExitProcess(static_cast<UINT>(code));
}
