// Host microbenchmarks of the random source and the integer conversion, each beside a
// baseline that does the same job the plainest way: a non-atomic generator step, and the C
// library's wcstol on the same texts.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cwchar>
#include <string_view>

#include "jumper/random.h"
#include "jumper/strtoint.h"

namespace {

void BM_Random(benchmark::State& state) {
    jumper::RandSeed = 1;
    for (auto _ : state) benchmark::DoNotOptimize(jumper::Random(5000));
}
BENCHMARK(BM_Random);

void BM_RandomRange(benchmark::State& state) {
    jumper::RandSeed = 1;
    for (auto _ : state) benchmark::DoNotOptimize(jumper::RandomRange(300, 100));
}
BENCHMARK(BM_RandomRange);

// One step of the same generator in a plain variable: no atomic update, no call.
void BM_PlainGeneratorStep(benchmark::State& state) {
    std::uint32_t seed = 1;
    for (auto _ : state) {
        seed = seed * 134775813u + 1u;
        benchmark::DoNotOptimize(static_cast<std::uint32_t>((std::uint64_t{seed} * 5000u) >> 32));
    }
}
BENCHMARK(BM_PlainGeneratorStep);

// What the size fields and handle texts hold: short decimal and hexadecimal numbers.
constexpr std::wstring_view kTexts[] = {L"100", L"300", L"$12C", L"0x1F4", L"-2147483648",
                                        L"  42", L"65538", L"2147483647"};

void BM_StrToInt(benchmark::State& state) {
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(jumper::StrToInt(kTexts[i]));
        i = (i + 1) % std::size(kTexts);
    }
}
BENCHMARK(BM_StrToInt);

// wcstol needs a terminated text and reads "$" as no number: the same texts in its spelling.
constexpr const wchar_t* kCTexts[] = {L"100", L"300", L"0x12C", L"0x1F4", L"-2147483648",
                                      L"  42", L"65538", L"2147483647"};

void BM_Wcstol(benchmark::State& state) {
    std::size_t i = 0;
    for (auto _ : state) {
        wchar_t* end = nullptr;
        benchmark::DoNotOptimize(std::wcstol(kCTexts[i], &end, 0));
        benchmark::DoNotOptimize(end);
        i = (i + 1) % std::size(kCTexts);
    }
}
BENCHMARK(BM_Wcstol);

}  // namespace

BENCHMARK_MAIN();
