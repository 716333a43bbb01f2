// Check and report helpers for the jump tests: every check prints what it saw, a failed one
// counts towards the exit code. Safe to use from several threads.
#pragma once

#include <chrono>
#include <cstdarg>
#include <string>

namespace jumptest {

using Clock = std::chrono::steady_clock;

// Seconds from a to b.
double Seconds(Clock::time_point a, Clock::time_point b);

// printf to stdout, one whole line at a time, flushed.
void Print(const char* format, ...) __attribute__((format(gnu_printf, 1, 2)));

// Counts a failure and prints it when condition is false. Returns condition.
bool Check(bool condition, const char* format, ...) __attribute__((format(gnu_printf, 2, 3)));

int Failures();

// Exit code for the test: 0 when nothing failed.
int Finish(const char* name);

std::string Narrow(const std::wstring& text);

}  // namespace jumptest
