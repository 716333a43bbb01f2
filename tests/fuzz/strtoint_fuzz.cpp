// Fuzz target: StrToInt and StrToHandle against a reference parser written separately from
// the accepted grammar, with 128-bit arithmetic and no early limits. For any text both must
// give the same value, or both fail with the integer error and the same message.
//
// Input bytes become UTF-16 code units one to one, except that 0xFF takes the next two bytes
// as one code unit (little-endian), so texts can hold any character, full-width digits and
// other look-alikes included.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "jumper/strtoint.h"
#include "platform/exception.h"

namespace {

using Wide = __int128;

std::wstring TextOf(const std::uint8_t* data, std::size_t size) {
    std::wstring text;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0xFF && i + 2 < size) {
            text.push_back(static_cast<wchar_t>(data[i + 1] | (data[i + 2] << 8)));
            i += 2;
        } else {
            text.push_back(static_cast<wchar_t>(data[i]));
        }
    }
    return text;
}

int DigitOf(wchar_t c, int base) {
    const std::wstring_view digits = L"0123456789abcdef";
    const std::wstring_view upper = L"0123456789ABCDEF";
    for (int d = 0; d < base; ++d) {
        if (c == digits[static_cast<std::size_t>(d)] || c == upper[static_cast<std::size_t>(d)]) {
            return d;
        }
    }
    return -1;
}

// The exact value of a run of digits in base, or nothing if it is empty or holds anything
// else. Values are capped far above 2^32, which keeps "too large" too large.
std::optional<Wide> Number(std::wstring_view digits, int base) {
    if (digits.empty()) return std::nullopt;
    constexpr Wide kCap = Wide{1} << 80;
    Wide value = 0;
    for (const wchar_t c : digits) {
        const int d = DigitOf(c, base);
        if (d < 0) return std::nullopt;
        value = value * base + d;
        if (value > kCap) value = kCap;
    }
    return value;
}

// The value modulo 2^32, as a signed 32-bit number.
std::int32_t Signed32(Wide value) {
    Wide reduced = value % (Wide{1} << 32);
    if (reduced < 0) reduced += Wide{1} << 32;
    if (reduced >= (Wide{1} << 31)) reduced -= Wide{1} << 32;
    return static_cast<std::int32_t>(reduced);
}

std::optional<std::int32_t> ReferenceStrToInt(std::wstring_view text) {
    const std::size_t first = text.find_first_not_of(L' ');
    if (first == std::wstring_view::npos) return std::nullopt;  // empty or spaces only
    std::wstring_view rest = text.substr(first);
    Wide sign = 1;
    if (rest.front() == L'-' || rest.front() == L'+') {
        if (rest.front() == L'-') sign = -1;
        rest.remove_prefix(1);
    }
    for (const std::wstring_view prefix : {L"0x", L"0X", L"$", L"x", L"X"}) {
        if (rest.substr(0, prefix.size()) == prefix) {
            const auto pattern = Number(rest.substr(prefix.size()), 16);
            if (!pattern || *pattern > 0xFFFFFFFF) return std::nullopt;
            // The 32-bit pattern as a two's-complement number, negated after a minus.
            return Signed32(sign * Signed32(*pattern));
        }
    }
    const auto magnitude = Number(rest, 10);
    if (!magnitude) return std::nullopt;
    const Wide value = sign * *magnitude;
    if (value < -(Wide{1} << 31) || value > (Wide{1} << 31) - 1) return std::nullopt;
    return static_cast<std::int32_t>(value);
}

std::optional<std::uint32_t> ReferenceStrToHandle(std::wstring_view text) {
    const auto value = Number(text, 10);
    if (!value || *value > 0xFFFFFFFF) return std::nullopt;
    return static_cast<std::uint32_t>(*value);
}

std::wstring ExpectedMessage(std::wstring_view text) {
    return L"''" + std::wstring(text) + L"'' is not a valid integer value";
}

[[noreturn]] void Mismatch(const char* what, std::wstring_view text, long long expected,
                           long long actual) {
    std::fprintf(stderr, "%s mismatch on text of %zu units:", what, text.size());
    for (const wchar_t c : text) std::fprintf(stderr, " %04x", static_cast<unsigned>(c));
    std::fprintf(stderr, "\n  reference %lld, implementation %lld (-1 = failure)\n", expected,
                 actual);
    std::abort();
}

template <typename Convert, typename Reference>
void Compare(const char* what, std::wstring_view text, Convert convert, Reference reference) {
    const auto expected = reference(text);
    constexpr long long kFailed = -(1LL << 40);
    long long actual = kFailed;
    try {
        actual = static_cast<long long>(convert(text));
    } catch (const platform::EConvertError& error) {
        if (error.Message() != ExpectedMessage(text)) {
            std::fprintf(stderr, "%s: wrong message for a failing text\n", what);
            Mismatch(what, text, expected ? *expected : kFailed, kFailed);
        }
    }
    const long long want = expected ? static_cast<long long>(*expected) : kFailed;
    if (actual != want) Mismatch(what, text, want, actual);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 4096) return -1;  // longer texts find nothing new
    const std::wstring text = TextOf(data, size);
    Compare("StrToInt", text, [](std::wstring_view t) { return jumper::StrToInt(t); },
            ReferenceStrToInt);
    Compare("StrToHandle", text, [](std::wstring_view t) { return jumper::StrToHandle(t); },
            ReferenceStrToHandle);
    return 0;
}
