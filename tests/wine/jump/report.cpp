#include "report.h"

#include <atomic>
#include <cstdio>
#include <mutex>

namespace jumptest {

namespace {

std::mutex print_mutex;
std::atomic<int> failures{0};

void VPrint(const char* prefix, const char* format, va_list args) {
    char line[2048];
    std::vsnprintf(line, sizeof line, format, args);
    const std::lock_guard lock(print_mutex);
    std::fputs(prefix, stdout);
    std::fputs(line, stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

}  // namespace

double Seconds(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

void Print(const char* format, ...) {
    va_list args;
    va_start(args, format);
    VPrint("", format, args);
    va_end(args);
}

bool Check(bool condition, const char* format, ...) {
    if (condition) return true;
    ++failures;
    va_list args;
    va_start(args, format);
    VPrint("FAIL: ", format, args);
    va_end(args);
    return false;
}

int Failures() { return failures.load(); }

int Finish(const char* name) {
    const int count = failures.load();
    if (count == 0) {
        Print("%s: all checks passed", name);
    } else {
        Print("%s: %d check(s) failed", name, count);
    }
    return count == 0 ? 0 : 1;
}

std::string Narrow(const std::wstring& text) {
    std::string out;
    for (const wchar_t c : text) out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return out;
}

}  // namespace jumptest
