// The checks of the Wine tests: every check counts, a failed one prints what it saw and fails
// the test. Safe to use from several threads.
#pragma once

#include <chrono>
#include <sstream>
#include <string>
#include <string_view>

namespace check {

using Clock = std::chrono::steady_clock;

// Seconds from a to b.
double Seconds(Clock::time_point a, Clock::time_point b);

// printf to stdout, one whole line at a time, flushed.
void Print(const char* format, ...) __attribute__((format(gnu_printf, 1, 2)));
// A section heading, so that a failure reads in its context.
void Section(const char* name);

// What a failed check means for the user beyond the check itself. The soak sums these over
// its runs (scripts/soak.sh).
enum class Loss {
    None,
    Crash,          // the program ended other than with exit code 0, or did not end
    WorkerLeft,     // a thread of the program left over once its worker was stopped
    TargetHidden,   // a target window left hidden
    UntrueCaption,  // the wide button says Stop with no worker alive, or Random while one moves
};

// Records one check; a failed one prints its message. Returns ok, so that a test can stop
// early when later checks depend on this one.
bool Check(bool ok, const char* format, ...) __attribute__((format(gnu_printf, 2, 3)));
bool Check(Loss loss, bool ok, const char* format, ...) __attribute__((format(gnu_printf, 3, 4)));
// A precondition of the test's own set-up: not counted when it holds; when it does not, the
// test fails with "set-up: " and the message.
bool SetUp(bool ok, const char* format, ...) __attribute__((format(gnu_printf, 2, 3)));
// Checks that actual equals expected, and shows both when they differ.
template <typename A, typename B>
bool Equal(const A& actual, const B& expected, const std::string& what);

// A measured figure, as "figure <name> <value>", for scripts that collect them.
void Figure(const char* name, double value);

// Prints the losses counted, if any, and "<name>: N passed, M failed"; returns the exit
// code: 0 only when checks ran and none failed.
int Report(const char* name);

std::string Narrow(std::wstring_view text);  // UTF-8, for messages
std::string Describe(const std::wstring& value);
std::string Describe(const std::string& value);
std::string Describe(const wchar_t* value);
std::string Describe(const char* value);
template <typename T>
std::string Describe(const T& value) {
    std::ostringstream out;
    out << value;
    return out.str();
}

template <typename A, typename B>
bool Equal(const A& actual, const B& expected, const std::string& what) {
    if (actual == expected) return Check(true, "%s", what.c_str());
    return Check(false, "%s: got %s, expected %s", what.c_str(), Describe(actual).c_str(),
                 Describe(expected).c_str());
}

}  // namespace check
