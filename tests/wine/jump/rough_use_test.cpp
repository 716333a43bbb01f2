// Rough use of the real program, one run of it throughout:
//   toggles        200 presses of the wide button in quick succession leave at most one
//                  worker, and none once it is stopped (threads of the process counted)
//   closed target  the target is closed while it jumps: the program runs on, "Stop" works
//   hung target    the target's thread stops pumping messages while it jumps: "Stop" still
//                  ends the worker and the main window keeps answering
// Usage: jump_rough_use_test <path of jumper.exe>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "jumper_app.h"
#include "target_window.h"
#include "ui/form1_layout.h"

using namespace std::chrono_literals;
using check::Check;
using check::Clock;
using jumptest::JumperApp;
using check::Print;
using check::Seconds;
using jumptest::TargetWindow;

namespace {

TargetWindow::Options Titled(const wchar_t* title) {
    TargetWindow::Options options;
    options.title = title;
    return options;
}

// Waits until the process has at most limit threads; the count it ended with.
int WaitForThreads(const JumperApp& app, int limit, DWORD timeout_ms) {
    int count = app.Threads();
    driver::WaitFor(
        [&] {
            count = app.Threads();
            return count <= limit;
        },
        timeout_ms);
    return count;
}

// Stops the worker if the button says one runs; whether the button then reads Random.
bool StopIfRunning(const JumperApp& app, DWORD timeout_ms, const char* what) {
    if (app.Caption() == L"Stop") app.Press();
    const auto waited = app.WaitForCaption(L"Random", timeout_ms);
    if (waited) Print("%s: Random %.3f s after Stop", what, *waited);
    return Check(waited.has_value(), "%s: the button reads Random within %lu s", what,
                 timeout_ms / 1000);
}

void Toggles(const JumperApp& app, const TargetWindow& target) {
    const int idle = app.Threads();
    if (!Check(app.Select(target.Title()), "toggles: the target is in the list")) return;

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
    while (presses < 200) {
        const int count = std::min(burst(random), 200 - presses);
        for (int i = 0; i < count; ++i) driver::PostClick(app.Control(ui::IdButton2));
        presses += count;
        if (count > 1) ++bursts;
        most = std::max(most, app.Threads());
        ::Sleep(static_cast<DWORD>(gap(random)));
    }
    spinning = false;
    for (std::thread& spinner : spinners) spinner.join();
    ::Sleep(500);  // the last presses are handled
    Print("toggles: 200 presses (%d bursts) in %.2f s; threads: %d idle, at most %d", bursts,
          Seconds(start, Clock::now()), idle, most);

    // Workers that were stopped finish their cycle, about 10 s at most; then only the
    // current one is left, if the button says that one runs.
    int settled = 0;
    bool running = false;
    driver::WaitFor(
        [&] {
            running = app.Caption() == L"Stop";
            settled = app.Threads();
            return settled <= idle + (running ? 1 : 0);
        },
        15000);
    Print("toggles: %d thread(s) once settled, the button reads %s", settled,
          running ? "Stop" : "Random");
    Check(settled <= idle + (running ? 1 : 0),
          "toggles: no worker is left but the one the button shows (%d threads, %d idle)",
          settled, idle);

    if (!StopIfRunning(app, 15000, "toggles")) return;
    const int after = WaitForThreads(app, idle, 15000);
    Print("toggles: %d thread(s) after the stop", after);
    Check(after <= idle, "toggles: the thread count returns to its idle level (%d, idle %d)",
          after, idle);
    Check(::IsWindowVisible(target.Handle()) != FALSE, "toggles: the target is left visible");
}

void ClosedTarget(const JumperApp& app, TargetWindow& target) {
    if (!Check(app.Select(target.Title()), "closed target: the target is in the list")) return;
    const auto start = Clock::now();
    app.Press();
    const auto moved = jumptest::WaitForPlacements(target, start, 1, 5000);
    if (!Check(!moved.empty(), "closed target: the target jumps")) return;
    target.Close();
    Check(!::IsWindow(target.Handle()), "closed target: the target is gone");
    ::Sleep(6000);  // long enough for a placement on the gone window
    Check(app.Program().Running(), "closed target: the program is still running");
    Check(driver::Responds(app.Program().Window(), 2000),
          "closed target: the main window answers");
    Check(app.Caption() == L"Stop", "closed target: the button reads Stop while jumping");
    StopIfRunning(app, 15000, "closed target");
    Check(app.Program().Running(), "closed target: the program runs on after the stop");
}

void HungTarget(const JumperApp& app, TargetWindow& target) {
    if (!Check(app.Select(target.Title()), "hung target: the target is in the list")) return;
    const auto start = Clock::now();
    app.Press();
    const auto moved = jumptest::WaitForPlacements(target, start, 1, 5000);
    if (!Check(!moved.empty(), "hung target: the target jumps")) return;
    // Hung for longer than a pause and the wait for the stop together, so that the worker
    // meets the hung window at least once before the stop.
    target.Block(40s);
    ::Sleep(200);
    Check(!driver::Responds(target.Handle(), 200), "hung target: the target does not answer");
    ::Sleep(5500);
    Check(driver::Responds(app.Program().Window(), 2000),
          "hung target: the main window answers while the target hangs");
    if (!Check(app.Caption() == L"Stop", "hung target: the button reads Stop")) return;
    app.Press();
    const auto pressed = Clock::now();
    const auto waited = app.WaitForCaption(L"Random", 20000);
    if (waited) Print("hung target: Random %.3f s after Stop", *waited);
    Check(waited.has_value(), "hung target: the button reads Random within 20 s");
    Check(driver::Responds(app.Program().Window(), 2000), "hung target: the main window answers");
    Print("hung target: %zu placement(s) seen since the stop",
          jumptest::Placements(target.EventsSince(pressed)).size());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        Print("usage: jump_rough_use_test <jumper.exe>");
        return 2;
    }
    const TargetWindow toggled(Titled(L"Jump target toggled"));
    TargetWindow closed(Titled(L"Jump target closed"));
    // Hangs at the end: not waited for when the test ends.
    auto* const hung = new TargetWindow(Titled(L"Jump target hung"));

    JumperApp app(argv[1]);
    if (Check(app.Ready(), "jumper.exe starts and shows its main window")) {
        Print("-- toggles");
        Toggles(app, toggled);
        Print("-- closed target");
        ClosedTarget(app, closed);
        Print("-- hung target");
        HungTarget(app, *hung);
        app.Program().Close();
        const auto code = app.Program().WaitForExit(10000);
        Check(code == 0u, "jumper.exe exits with code 0 when closed");
    }
    app.Program().Kill();
    const int code = check::Report("jump_rough_use");
    ::ExitProcess(static_cast<UINT>(code));
}
