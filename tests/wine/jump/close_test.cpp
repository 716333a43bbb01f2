// Closing the main window while the target jumps, 20 times at random moments: each time the
// process ends at once with exit code 0 and the target is left visible, never hidden
// between the hiding and the showing of a placement.
// Usage: jump_close_test <path of jumper.exe>
#include <windows.h>

#include <random>
#include <string>

#include "jumper_app.h"
#include "target_window.h"

using check::Check;
using check::Clock;
using jumptest::JumperApp;
using check::Print;
using check::Seconds;
using jumptest::TargetWindow;

namespace {

constexpr int kRuns = 20;
// Closing never waits for a pause (up to 5 s) and waits about a second at most for a
// placement under way; this bound leaves room for Wine ending the process.
constexpr double kExitBound = 4.0;

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        Print("usage: jump_close_test <jumper.exe>");
        return 2;
    }
    TargetWindow::Options options;
    options.title = L"Jump close target";
    const TargetWindow target(options);

    const unsigned seed = ::GetTickCount();
    Print("seed %u", seed);
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> jumping_ms(0, 3000);
    double slowest = 0;

    for (int run = 1; run <= kRuns; ++run) {
        JumperApp app(argv[1]);
        if (!Check(app.Ready(), "run %d: jumper.exe starts", run)) continue;
        if (!Check(app.Select(target.Title()), "run %d: the target is in the list", run)) continue;
        const auto start = Clock::now();
        app.Press();
        if (!Check(!jumptest::WaitForPlacements(target, start, 1, 5000).empty(),
                   "run %d: the target jumps", run)) {
            continue;
        }
        ::Sleep(static_cast<DWORD>(jumping_ms(random)));

        const auto closing = Clock::now();
        app.Program().Close();
        const auto code = app.Program().WaitForExit(15000);
        const auto ended = Clock::now();
        const double exit_time = Seconds(closing, ended);
        slowest = std::max(slowest, exit_time);
        const auto moved = jumptest::Placements(target.EventsSince(start));
        Print("run %d: closed after %.2f s and %zu placement(s), exited in %.3f s, code %ld",
              run, Seconds(start, closing), moved.size(), exit_time,
              code ? static_cast<long>(*code) : -1L);
        if (!Check(code.has_value(), "run %d: the process ends", run)) continue;
        Check(*code == 0, "run %d: exit code %lu, expected 0", run, *code);
        Check(exit_time < kExitBound, "run %d: the process took %.3f s to end", run, exit_time);

        ::Sleep(300);
        const auto events = target.EventsSince(start);
        Check(::IsWindowVisible(target.Handle()) != FALSE, "run %d: the target is visible", run);
        Check(!jumptest::LeftHidden(events), "run %d: the target is not left hidden", run);
        Check(jumptest::Placements(target.EventsSince(ended)).empty(),
              "run %d: nothing moves after the end", run);
    }
    Print("slowest exit: %.3f s", slowest);
    return check::Report("jump_close");
}
