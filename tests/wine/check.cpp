#include "check.h"

#include <windows.h>

#include <array>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace check {

namespace {

std::mutex print_mutex;
std::atomic<int> passed{0};
std::atomic<int> failed{0};
std::array<std::atomic<int>, 5> losses{};

constexpr std::array<const char*, 5> kLossNames = {"", "crashes", "workers_left",
                                                   "targets_hidden", "untrue_captions"};

void PrintLine(const char* prefix, const char* format, va_list args) {
    char line[2048];
    std::vsnprintf(line, sizeof line, format, args);
    const std::lock_guard lock(print_mutex);
    std::fputs(prefix, stdout);
    std::fputs(line, stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

bool Record(Loss loss, bool ok, const char* format, va_list args) {
    if (ok) {
        ++passed;
        return true;
    }
    ++failed;
    ++losses[static_cast<std::size_t>(loss)];
    PrintLine("FAIL: ", format, args);
    return false;
}

}  // namespace

double Seconds(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

void Print(const char* format, ...) {
    va_list args;
    va_start(args, format);
    PrintLine("", format, args);
    va_end(args);
}

void Section(const char* name) { Print("-- %s", name); }

bool Check(bool ok, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const bool result = Record(Loss::None, ok, format, args);
    va_end(args);
    return result;
}

bool Check(Loss loss, bool ok, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const bool result = Record(loss, ok, format, args);
    va_end(args);
    return result;
}

bool SetUp(bool ok, const char* format, ...) {
    if (ok) return true;
    ++failed;
    va_list args;
    va_start(args, format);
    PrintLine("FAIL: set-up: ", format, args);
    va_end(args);
    return false;
}

void Figure(const char* name, double value) { Print("figure %s %.10g", name, value); }

int Report(const char* name) {
    for (std::size_t i = 1; i < losses.size(); ++i) {
        if (losses[i] > 0) Figure(kLossNames[i], losses[i]);
    }
    Print("%s: %d passed, %d failed", name, passed.load(), failed.load());
    return failed == 0 && passed > 0 ? 0 : 1;
}

std::string Narrow(std::wstring_view text) {
    if (text.empty()) return {};
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(),
                          size, nullptr, nullptr);
    return result;
}

std::string Describe(const std::wstring& value) { return Describe(Narrow(value)); }
std::string Describe(const std::string& value) { return '"' + value + '"'; }
std::string Describe(const wchar_t* value) { return Describe(std::wstring(value)); }
std::string Describe(const char* value) { return Describe(std::string(value)); }

}  // namespace check
