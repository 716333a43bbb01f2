// Text to integer, as the size fields and the catalogue's handle texts are read.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace jumper {

// Leading spaces, an optional sign, then decimal digits within the signed 32-bit range, or
// hexadecimal digits after "$", "x", "X", "0x" or "0X" up to FFFFFFFF, taken as their
// two's-complement pattern (and negated after "-"). Anything else raises EConvertError
// "''text'' is not a valid integer value".
std::int32_t StrToInt(std::wstring_view text);

// A window handle written as unsigned decimal digits, 0 to 4294967295; raises the same
// error as StrToInt for anything else.
std::uint32_t StrToHandle(std::wstring_view text);

// The integer error's message for text.
std::wstring InvalidIntegerMessage(std::wstring_view text);

}  // namespace jumper
