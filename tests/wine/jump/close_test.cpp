// Closing the main window while the target jumps, 20 times (or as many as asked) at random
// moments, every third one while the target is hidden between the hiding and the showing of
// a placement, half of those held in its hide for longer than the close waits: each time the
// process ends at once with exit code 0 and the target is left visible. The programs run in
// four lanes side by side, each with a target of its own.
// Usage: jump_close_test <path of jumper.exe> [closes]
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "driver.h"
#include "target_window.h"

using namespace check;
using driver::Program;
using jumptest::TargetWindow;
using namespace std::chrono_literals;

namespace {

// Closing never waits for a pause (up to 5 s) and waits about a second at most for a
// placement under way; this bound leaves room for Wine ending the process.
constexpr double kExitBound = 4.0;
constexpr int kLanes = 4;

// One lane: its share of the runs, one after the other, on a target of its own.
class Lane {
public:
    Lane(int number, unsigned seed)
        : target_(TargetWindow::Options{L"Jump close target " + std::to_wstring(number)}),
          random_(seed + static_cast<unsigned>(number)) {}

    int closes = 0;
    int closes_hidden = 0;
    double slowest = 0;  // seconds to exit

    void Run(const std::wstring& executable, int run) {
        driver::RunProgram(executable, [&](Program& app) { Close(app, run); });
    }

    // Once a program has ended nothing may move its target: checked just before the next
    // run's press, or at the end, and at least 300 ms after the target worked through its
    // queue.
    void CheckStill() {
        if (!ended_) return;
        std::this_thread::sleep_until(ended_->settled + 300ms);
        const auto moved = jumptest::Placements(target_.EventsSince(ended_->settled));
        Check(moved.empty(), "run %d: nothing moves after the end (%zu placements)", ended_->run,
              moved.size());
        ended_.reset();
    }

private:
    void Close(Program& app, int run) {
        if (!check::SetUp(app.Select(target_.Title()), "run %d: the target is in the list",
                          run)) {
            return;
        }
        const bool while_hidden = run % 3 == 0;
        // The close then comes in between the hiding and the showing; a hide held longer than
        // the close waits for a placement ends the worker inside it.
        const bool held_long = run % 6 == 0;
        target_.HoldNextHide(!while_hidden ? 0ms : held_long ? 2500ms : 300ms);
        const auto start = Clock::now();
        CheckStill();
        app.Press();
        if (!check::SetUp(!jumptest::WaitForPlacements(target_, start, 1, 5000).empty(),
                          "run %d: the target jumps", run)) {
            return;
        }
        if (while_hidden) {
            // The hiding comes after the first pause, under 5 s.
            if (!check::SetUp(target_.WaitForHeldHide(15s), "run %d: the target is hidden",
                              run)) {
                return;
            }
            ++closes_hidden;
        } else {
            ::Sleep(static_cast<DWORD>(std::uniform_int_distribution<int>(0, 3000)(random_)));
        }
        Check(Loss::Crash, !app.ShowsDialog(), "run %d: no error box before the close", run);

        const auto closing = Clock::now();
        const auto exit_time = app.CloseAndCheckExit(15000);
        target_.HoldNextHide(0ms);
        ++closes;
        const auto moved = jumptest::Placements(target_.EventsSince(start));
        Print("run %d: closed after %.2f s and %zu placement(s)%s, exited in %.3f s", run,
              Seconds(start, closing), moved.size(),
              !while_hidden ? "" : held_long ? ", target held in its hide" : ", target hidden",
              exit_time.value_or(-1));
        if (!exit_time) return;
        slowest = std::max(slowest, *exit_time);
        Check(*exit_time < kExitBound, "run %d: the process took %.3f s to end", run,
              *exit_time);

        target_.Settle();  // the last placement's calls outlive the program in its queue
        ended_ = Ended{run, Clock::now()};
        const auto events = target_.EventsSince(start);
        Check(Loss::TargetHidden, ::IsWindowVisible(target_.Handle()) != FALSE,
              "run %d: the target is visible", run);
        Check(Loss::TargetHidden, !jumptest::LeftHidden(events),
              "run %d: the target is not left hidden", run);
    }

    struct Ended {
        int run;
        Clock::time_point settled;
    };
    TargetWindow target_;
    std::mt19937 random_;
    std::optional<Ended> ended_;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        Print("usage: jump_close_test <jumper.exe> [closes]");
        return 2;
    }
    const std::wstring executable = driver::WindowsPath(argv[1]);
    const int runs = argc > 2 ? std::atoi(argv[2]) : 20;
    const unsigned seed = ::GetTickCount();
    Print("seed %u", seed);

    const int lanes = std::clamp(runs, 1, kLanes);
    std::vector<std::unique_ptr<Lane>> made;
    for (int lane = 0; lane < lanes; ++lane) made.push_back(std::make_unique<Lane>(lane, seed));
    std::vector<std::thread> threads;
    for (int lane = 0; lane < lanes; ++lane) {
        threads.emplace_back([&, lane] {
            for (int run = lane + 1; run <= runs; run += lanes) {
                made[static_cast<std::size_t>(lane)]->Run(executable, run);
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    int closes = 0;
    int closes_hidden = 0;
    double slowest = 0;
    for (auto& lane : made) {
        lane->CheckStill();
        closes += lane->closes;
        closes_hidden += lane->closes_hidden;
        slowest = std::max(slowest, lane->slowest);
    }
    Print("slowest exit: %.3f s", slowest);
    Print("%d closes, %d of them while the target was hidden", closes, closes_hidden);
    check::Figure("closes", closes);
    return check::Report("jump_close");
}
