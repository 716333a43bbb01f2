// Start and stop through the real program: a target window of the test is chosen in the
// list, the fields are filled in, the wide button is pressed, and the target is watched.
//   errors   no selection, bad and empty fields: the error box's exact text, nothing moves,
//            no thread is left behind
//   jumping  default fields, then both fields 300, then min above max, changed while the
//            target jumps; the caption reads "Stop" after the first placement
//   stop     pressed during a placement, twice: the caption turns back to "Random" at the
//            next refresh, no second worker starts, and nothing moves afterwards
//   hex      "$12C" is 300, from the start request on
//   bad field a field turned bad while jumping ends the worker silently; the button reads
//            "Random" again and a new start works
// Usage: jump_start_stop_test <path of jumper.exe>
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "jumper_app.h"
#include "target_window.h"
#include "ui/form1_layout.h"

using check::Check;
using check::Clock;
using check::Print;
using check::Seconds;
using jumptest::JumperApp;
using jumptest::Moved;
using jumptest::TargetWindow;
using namespace std::chrono_literals;

namespace {

const wchar_t kTitle[] = L"Jump start-stop target";

struct Screen {
    int width = ::GetSystemMetrics(SM_CXSCREEN);
    int height = ::GetSystemMetrics(SM_CYSCREEN);
};

// Checks that every placement has a size in the given ranges and its top-left on the screen.
void CheckPlacements(const char* what, const std::vector<Moved>& placements, std::size_t from,
                     long min_size, long max_size, Clock::time_point start) {
    const Screen screen;
    for (std::size_t i = from; i < placements.size(); ++i) {
        const RECT& r = placements[i].rect;
        const long width = r.right - r.left;
        const long height = r.bottom - r.top;
        Print("%s: placement %zu at %.2f s: %s", what, i + 1, Seconds(start, placements[i].time),
              jumptest::Describe(r).c_str());
        Check(width >= min_size && width <= max_size && height >= min_size && height <= max_size,
              "%s: placement %zu is %ldx%ld, not within %ld..%ld", what, i + 1, width, height,
              min_size, max_size);
        Check(r.left >= 0 && r.left < screen.width && r.top >= 0 && r.top < screen.height,
              "%s: placement %zu top-left %ld,%ld off the %dx%d screen", what, i + 1, r.left,
              r.top, screen.width, screen.height);
    }
}

void CheckError(const JumperApp& app, const wchar_t* expected, const char* what) {
    const auto text = app.PressForError();
    if (!Check(text.has_value(), "%s: an error box appears", what)) return;
    Check(*text == expected, "%s: the box says \"%s\", expected \"%s\"", what,
          check::Narrow(*text).c_str(), check::Narrow(expected).c_str());
}

void Errors(const JumperApp& app, const TargetWindow& target) {
    const auto start = Clock::now();
    const int threads_before = app.Threads();

    app.Refresh();  // leaves nothing selected
    CheckError(app, L"Choose a window from the list first.", "after Refresh");
    driver::SetText(app.Control(ui::IdComboBox1), L"No window has this title");
    CheckError(app, L"Choose a window from the list first.", "typed title of no window");

    Check(app.Select(target.Title()), "the target is in the list");
    app.SetFields(L"100", L"100", L"300", L"abc");
    CheckError(app, L"''abc'' is not a valid integer value.", "Max Height abc");
    app.SetFields(L"", L"100", L"300", L"300");
    CheckError(app, L"'''' is not a valid integer value.", "empty Min Width");
    // Max Width is read before the others.
    app.SetFields(L"100", L"bad2", L"bad3", L"300");
    CheckError(app, L"''bad3'' is not a valid integer value.", "Max Width named first");
    app.SetFields(L"100", L"100", L"300", L"300 ");
    CheckError(app, L"''300 '' is not a valid integer value.", "trailing space");

    // Failing requests, again and again, leave no thread behind.
    app.SetFields(L"100", L"100", L"300", L"abc");
    for (int i = 0; i < 10; ++i) app.PressForError();
    ::Sleep(1000);
    const int threads_after = app.Threads();
    Print("errors: threads %d before, %d after the failing requests", threads_before,
          threads_after);
    Check(threads_after <= threads_before, "errors: the thread count stays flat (%d, then %d)",
          threads_before, threads_after);
    const auto moved = jumptest::Placements(target.EventsSince(start));
    Check(moved.empty(), "errors: nothing moves after failing requests (%zu placements)",
          moved.size());
    Check(app.Caption() == L"Random", "errors: the button still reads Random");
}

// Returns whether the target jumps, so that the stop can be tested.
bool Jumping(const JumperApp& app, const TargetWindow& target) {
    app.SetFields(L"100", L"100", L"300", L"300");
    if (!Check(app.Select(target.Title()), "jumping: the target is in the list")) return false;
    const auto start = Clock::now();
    app.Press();
    auto moved = jumptest::WaitForPlacements(target, start, 1, 5000);
    if (!Check(!moved.empty(), "jumping: the target is placed")) return false;
    const auto stop_shown = app.WaitForCaption(L"Stop", 2000);
    Check(stop_shown.has_value(), "jumping: the button reads Stop after the first placement");
    Print("jumping: first placement %.3f s after the press", Seconds(start, moved[0].time));

    moved = jumptest::WaitForPlacements(target, start, 3, 20000);
    Check(moved.size() >= 3, "jumping: three placements with the defaults (%zu)", moved.size());
    CheckPlacements("defaults", moved, 0, 100, 299, start);

    // A change applies from the next refresh: the first placement after it may still have
    // the old size.
    app.SetFields(L"300", L"300", L"300", L"300");
    auto changed = Clock::now();
    moved = jumptest::WaitForPlacements(target, changed, 3, 20000);
    Check(moved.size() >= 3, "jumping: three placements with both fields 300 (%zu)",
          moved.size());
    CheckPlacements("both 300", moved, 1, 300, 300, start);

    app.SetFields(L"300", L"300", L"100", L"100");
    changed = Clock::now();
    moved = jumptest::WaitForPlacements(target, changed, 3, 20000);
    Check(moved.size() >= 3, "jumping: three placements with min 300, max 100 (%zu)",
          moved.size());
    CheckPlacements("min above max", moved, 1, 100, 299, start);
    return Check(app.Caption() == L"Stop", "jumping: the button reads Stop while jumping");
}

// Stop is double-clicked while the target hangs in the middle of being hidden, for longer
// than it takes to answer any message: the button reads "Stop" until the worker's next
// refresh, which does not wait for the target, so the second click only stops again.
void Stop(const JumperApp& app, TargetWindow& target) {
    const int threads_before = app.Threads();
    target.HoldNextHide(2500ms);
    if (!Check(target.WaitForHeldHide(15s), "stop: the target is being hidden")) return;
    ::Sleep(800);
    const auto pressed = Clock::now();
    app.Press();
    Check(app.Caption() == L"Stop", "stop: the button reads Stop while the target hangs");
    ::Sleep(120);  // a double-click's second click
    app.Press();
    const int threads_after = app.Threads();
    Check(threads_after <= threads_before,
          "stop: the second press starts no worker (%d threads, %d before)", threads_after,
          threads_before);
    const auto waited = app.WaitForCaption(L"Random", 15000);
    if (!Check(waited.has_value(), "stop: the button reads Random within 15 s")) return;
    Print("stop: Random %.3f s after Stop", *waited);
    target.Settle();
    const auto random_shown = Clock::now();
    const auto before = jumptest::Placements(target.EventsSince(pressed));
    Print("stop: %zu placement(s) between Stop and Random", before.size());
    // The target carries out after the press what was queued before it: the held hide's
    // show and, if the worker went on meanwhile, the first half of the next cycle, whose
    // second half still runs.
    Check(before.size() <= 3, "stop: the cycle under way finishes, no more (%zu placements)",
          before.size());
    ::Sleep(5500);  // longer than any pause
    const auto after = jumptest::Placements(target.EventsSince(random_shown));
    Check(after.empty(), "stop: nothing moves after the stop (%zu placements)", after.size());
    Check(::IsWindowVisible(target.Handle()) != FALSE, "stop: the target is left visible");
    Check(app.Caption() == L"Random", "stop: the button stays Random");
}

void Hex(const JumperApp& app, const TargetWindow& target) {
    app.SetFields(L"300", L"300", L"$12C", L"$12C");
    if (!Check(app.Select(target.Title()), "hex: the target is in the list")) return;
    const auto start = Clock::now();
    app.Press();
    const auto moved = jumptest::WaitForPlacements(target, start, 2, 15000);
    Check(moved.size() >= 2, "hex: two placements (%zu)", moved.size());
    CheckPlacements("$12C", moved, 0, 300, 300, start);
    if (app.WaitForCaption(L"Stop", 2000)) app.Press();
    Check(app.WaitForCaption(L"Random", 15000).has_value(), "hex: the stop takes effect");
}

// A field turned bad while the target jumps ends the worker at its next refresh, with no
// message; the button turns back to "Random" and a new start works once the field is good.
void BadFieldWhileJumping(const JumperApp& app, const TargetWindow& target) {
    app.SetFields(L"100", L"100", L"300", L"300");
    if (!Check(app.Select(target.Title()), "bad field: the target is in the list")) return;
    const auto start = Clock::now();
    app.Press();
    if (!Check(!jumptest::WaitForPlacements(target, start, 1, 5000).empty(),
               "bad field: the target jumps") ||
        !Check(app.WaitForCaption(L"Stop", 2000).has_value(), "bad field: the button reads Stop")) {
        return;
    }
    app.SetFields(L"100", L"100", L"abc", L"300");
    const auto waited = app.WaitForCaption(L"Random", 15000);
    if (!Check(waited.has_value(), "bad field: the button reads Random within 15 s")) return;
    Print("bad field: Random %.3f s after the field turned bad", *waited);
    target.Settle();
    const auto ended = Clock::now();
    Check(!driver::WaitForMessageBox(app.Program().ThreadId(), 500).has_value(),
          "bad field: the worker's end shows no message");
    ::Sleep(5500);  // longer than any pause
    const auto after = jumptest::Placements(target.EventsSince(ended));
    Check(after.empty(), "bad field: nothing moves once the worker has ended (%zu placements)",
          after.size());
    Check(::IsWindowVisible(target.Handle()) != FALSE, "bad field: the target is left visible");

    CheckError(app, L"''abc'' is not a valid integer value.", "bad field, pressed again");
    app.SetFields(L"100", L"100", L"300", L"300");
    const auto restart = Clock::now();
    app.Press();
    Check(!jumptest::WaitForPlacements(target, restart, 1, 5000).empty(),
          "bad field: a new start works once the field is good");
    if (app.WaitForCaption(L"Stop", 2000)) app.Press();
    Check(app.WaitForCaption(L"Random", 15000).has_value(), "bad field: the stop takes effect");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        Print("usage: jump_start_stop_test <jumper.exe>");
        return 2;
    }
    TargetWindow::Options options;
    options.title = kTitle;
    TargetWindow target(options);
    JumperApp app(argv[1]);
    if (Check(app.Ready(), "jumper.exe starts and shows its main window")) {
        Print("-- errors");
        Errors(app, target);
        Print("-- jumping");
        if (Jumping(app, target)) {
            Print("-- stop");
            Stop(app, target);
        }
        Print("-- hex");
        Hex(app, target);
        Print("-- bad field while jumping");
        BadFieldWhileJumping(app, target);
        app.Program().Close();
        const auto code = app.Program().WaitForExit(10000);
        Check(code == 0u, "jumper.exe exits with code 0 when closed");
    }
    return check::Report("jump_start_stop");
}
