#include "jumper/strtoint.h"

#include <optional>

#include "platform/exception.h"

namespace jumper {

namespace {

std::optional<unsigned> DigitValue(wchar_t c, unsigned base) {
    unsigned value = 0;
    if (c >= L'0' && c <= L'9') {
        value = static_cast<unsigned>(c - L'0');
    } else if (base == 16 && c >= L'a' && c <= L'f') {
        value = static_cast<unsigned>(c - L'a') + 10;
    } else if (base == 16 && c >= L'A' && c <= L'F') {
        value = static_cast<unsigned>(c - L'A') + 10;
    } else {
        return std::nullopt;
    }
    return value;
}

// The magnitude of a run of digits, if there is at least one digit, nothing else follows
// and the value does not exceed limit.
std::optional<std::uint64_t> Magnitude(std::wstring_view digits, unsigned base,
                                       std::uint64_t limit) {
    if (digits.empty()) return std::nullopt;
    std::uint64_t value = 0;
    for (const wchar_t c : digits) {
        const auto digit = DigitValue(c, base);
        if (!digit) return std::nullopt;
        value = value * base + *digit;
        if (value > limit) return std::nullopt;
    }
    return value;
}

std::optional<std::int32_t> Parse(std::wstring_view text) {
    while (!text.empty() && text.front() == L' ') text.remove_prefix(1);
    bool negative = false;
    if (!text.empty() && (text.front() == L'+' || text.front() == L'-')) {
        negative = text.front() == L'-';
        text.remove_prefix(1);
    }

    std::size_t prefix = 0;
    if (!text.empty() && (text[0] == L'$' || text[0] == L'x' || text[0] == L'X')) {
        prefix = 1;
    } else if (text.size() >= 2 && text[0] == L'0' && (text[1] == L'x' || text[1] == L'X')) {
        prefix = 2;
    }

    if (prefix != 0) {
        const auto pattern = Magnitude(text.substr(prefix), 16, 0xFFFFFFFFu);
        if (!pattern) return std::nullopt;
        const auto bits = static_cast<std::uint32_t>(*pattern);
        return static_cast<std::int32_t>(negative ? 0u - bits : bits);
    }

    const std::uint64_t limit = negative ? 2147483648u : 2147483647u;
    const auto magnitude = Magnitude(text, 10, limit);
    if (!magnitude) return std::nullopt;
    const auto bits = static_cast<std::uint32_t>(*magnitude);
    return static_cast<std::int32_t>(negative ? 0u - bits : bits);
}

}  // namespace

std::wstring InvalidIntegerMessage(std::wstring_view text) {
    std::wstring message(L"''");
    message.append(text);
    message.append(L"'' is not a valid integer value");
    return message;
}

std::int32_t StrToInt(std::wstring_view text) {
    if (const auto value = Parse(text)) return *value;
    throw platform::EConvertError(InvalidIntegerMessage(text));
}

std::uint32_t StrToHandle(std::wstring_view text) {
    if (const auto value = Magnitude(text, 10, 0xFFFFFFFFu)) {
        return static_cast<std::uint32_t>(*value);
    }
    throw platform::EConvertError(InvalidIntegerMessage(text));
}

}  // namespace jumper
