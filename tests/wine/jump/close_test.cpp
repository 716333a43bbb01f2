// Closing the main window while the target jumps, 20 times (or as many as asked) at random
// moments, every third one while the target is hidden between the hiding and the showing of
// a placement: each time the process ends at once with exit code 0 and the target is left
// visible.
// Usage: jump_close_test <path of jumper.exe> [closes]
#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <random>
#include <string>

#include "jumper_app.h"
#include "target_window.h"

using check::Check;
using check::Clock;
using check::Loss;
using check::Print;
using check::Seconds;
using jumptest::JumperApp;
using jumptest::TargetWindow;
using namespace std::chrono_literals;

namespace {

// Closing never waits for a pause (up to 5 s) and waits about a second at most for a
// placement under way; this bound leaves room for Wine ending the process.
constexpr double kExitBound = 4.0;

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        Print("usage: jump_close_test <jumper.exe> [closes]");
        return 2;
    }
    const int runs = argc > 2 ? std::atoi(argv[2]) : 20;

    TargetWindow::Options options;
    options.title = L"Jump close target";
    TargetWindow target(options);

    const unsigned seed = ::GetTickCount();
    Print("seed %u", seed);
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> jumping_ms(0, 3000);
    double slowest = 0;

    int closes = 0;
    int closes_hidden = 0;
    for (int run = 1; run <= runs; ++run) {
        JumperApp app(argv[1]);
        if (!Check(app.Ready(), "run %d: jumper.exe starts", run)) continue;
        if (!Check(app.Select(target.Title()), "run %d: the target is in the list", run)) continue;
        const bool while_hidden = run % 3 == 0;
        // The close then comes in between the hiding and the showing.
        target.HoldNextHide(while_hidden ? 300ms : 0ms);
        const auto start = Clock::now();
        app.Press();
        if (!Check(!jumptest::WaitForPlacements(target, start, 1, 5000).empty(),
                   "run %d: the target jumps", run)) {
            continue;
        }
        if (while_hidden) {
            // The hiding comes after the first pause, under 5 s.
            if (!Check(target.WaitForHeldHide(15s), "run %d: the target is hidden", run)) {
                continue;
            }
            ++closes_hidden;
        } else {
            ::Sleep(static_cast<DWORD>(jumping_ms(random)));
        }
        Check(Loss::Crash, !driver::WaitForMessageBox(app.Program().ThreadId(), 0),
              "run %d: no error box before the close", run);

        const auto closing = Clock::now();
        app.Program().Close();
        const auto code = app.Program().WaitForExit(15000);
        const auto ended = Clock::now();
        target.HoldNextHide(0ms);
        ++closes;
        const double exit_time = Seconds(closing, ended);
        slowest = std::max(slowest, exit_time);
        const auto moved = jumptest::Placements(target.EventsSince(start));
        Print("run %d: closed after %.2f s and %zu placement(s)%s, exited in %.3f s, code %ld",
              run, Seconds(start, closing), moved.size(), while_hidden ? ", target hidden" : "",
              exit_time, code ? static_cast<long>(*code) : -1L);
        if (!Check(Loss::Crash, code.has_value(), "run %d: the process ends", run)) continue;
        Check(Loss::Crash, *code == 0, "run %d: exit code %lu, expected 0", run, *code);
        Check(exit_time < kExitBound, "run %d: the process took %.3f s to end", run, exit_time);

        target.Settle();  // the last placement's calls outlive the program in its queue
        const auto settled = Clock::now();
        const auto events = target.EventsSince(start);
        Check(Loss::TargetHidden, ::IsWindowVisible(target.Handle()) != FALSE,
              "run %d: the target is visible", run);
        Check(Loss::TargetHidden, !jumptest::LeftHidden(events),
              "run %d: the target is not left hidden", run);
        ::Sleep(300);
        Check(jumptest::Placements(target.EventsSince(settled)).empty(),
              "run %d: nothing moves after the end", run);
    }
    Print("slowest exit: %.3f s", slowest);
    Print("%d closes, %d of them while the target was hidden", closes, closes_hidden);
    check::Figure("closes", closes);
    return check::Report("jump_close");
}
