#include "jumper/strtoint.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/exception.h"

namespace {

struct Accepted {
    const wchar_t* text;
    std::int32_t value;
};

std::string Narrow(const std::wstring& text) {
    std::string narrow;
    for (const wchar_t c : text) narrow += c < 0x80 ? static_cast<char>(c) : '?';
    return narrow;
}

void ExpectAccepted(const std::vector<Accepted>& cases) {
    for (const auto& [text, value] : cases) {
        SCOPED_TRACE(Narrow(std::wstring(L"'") + text + L"'"));
        try {
            EXPECT_EQ(jumper::StrToInt(text), value);
        } catch (const platform::Exception& error) {
            ADD_FAILURE() << "rejected: " << Narrow(error.Message());
        }
    }
}

// Each rejection raises the integer error naming the text between doubled quotes.
template <typename Convert>
void ExpectRejected(Convert convert, const std::vector<std::wstring>& texts) {
    for (const auto& text : texts) {
        SCOPED_TRACE(Narrow(L"'" + text + L"'"));
        try {
            convert(text);
            ADD_FAILURE() << "accepted";
        } catch (const platform::EConvertError& error) {
            EXPECT_EQ(error.Message(), L"''" + text + L"'' is not a valid integer value");
        }
    }
}

void ExpectRejected(const std::vector<std::wstring>& texts) {
    ExpectRejected([](const std::wstring& text) { return jumper::StrToInt(text); }, texts);
}

TEST(StrToInt, MessageOfTheIntegerError) {
    try {
        jumper::StrToInt(L"abc");
        ADD_FAILURE() << "accepted";
    } catch (const platform::EConvertError& error) {
        EXPECT_EQ(error.Message(), L"''abc'' is not a valid integer value");
    }
    try {
        jumper::StrToInt(L"");
        ADD_FAILURE() << "accepted";
    } catch (const platform::EConvertError& error) {
        EXPECT_EQ(error.Message(), L"'''' is not a valid integer value");
    }
}

TEST(StrToInt, LeadingSpacesOnly) {
    ExpectAccepted({{L"42", 42}, {L" 42", 42}, {L"    42", 42}, {L"  -7", -7}, {L" +7", 7},
                    {L"  $ff", 255}, {L" 0x10", 16}});
    ExpectRejected({L"\t5", L" \t5", L"\n5", L"\u00A05", L"- 5", L"+ 5", L"$ 5", L"0x 5"});
}

TEST(StrToInt, Signs) {
    ExpectAccepted({{L"+5", 5}, {L"-5", -5}, {L"+0", 0}, {L"-0", 0}, {L"-$10", -16},
                    {L"+$10", 16}, {L"-x10", -16}, {L"-0X10", -16}});
    ExpectRejected({L"+-5", L"-+5", L"--5", L"++5", L"5-", L"$-5", L"0x-5", L"$+5"});
}

TEST(StrToInt, PrefixesAndDecimalZeros) {
    ExpectAccepted({{L"$1f", 31}, {L"x1F", 31}, {L"X1f", 31}, {L"0x1f", 31}, {L"0X1F", 31},
                    {L"$12C", 300}, {L"$AbCdEf", 0xABCDEF}, {L"0", 0}, {L"00", 0},
                    {L"012", 12}, {L"0012", 12}, {L"09", 9}});
    ExpectRejected({L"$$1", L"0$1", L"00x1", L"0xx5", L"x0x5", L"$g", L"0xG", L"12a", L"0b1",
                    L"1x5", L"1e3", L"\uFF11", L"\u0661"});
}

TEST(StrToInt, HexadecimalIsA32BitPattern) {
    ExpectAccepted({{L"$FFFFFFFF", -1},
                    {L"$ffffffff", -1},
                    {L"$7FFFFFFF", 2147483647},
                    {L"$80000000", INT32_MIN},
                    {L"-$80000000", INT32_MIN},
                    {L"-$FFFFFFFF", 1},
                    {L"-$1", -1},
                    {L"$0", 0},
                    {L"$0000000000FF", 255},
                    {L"0x00000000FFFFFFFF", -1}});
    ExpectRejected({L"$100000000", L"-$100000000", L"0x1FFFFFFFF", L"$FFFFFFFFFFFFFFFFFFFF"});
}

TEST(StrToInt, DecimalBoundsOfThe32BitRange) {
    ExpectAccepted({{L"2147483647", 2147483647},
                    {L"+2147483647", 2147483647},
                    {L"-2147483648", INT32_MIN},
                    {L"-2147483647", -2147483647},
                    {L"0002147483647", 2147483647},
                    {L"-0002147483648", INT32_MIN}});
    ExpectRejected({L"2147483648", L"+2147483648", L"-2147483649", L"4294967295", L"4294967296",
                    L"99999999999999999999", L"-99999999999999999999"});
}

TEST(StrToInt, NothingMayFollowTheDigits) {
    ExpectRejected({L"5 ", L"5  ", L"5x", L"$10 ", L"5\t", L"1 2", L"300px", L"-2147483648 "});
}

TEST(StrToInt, EmptyBareSignsAndPrefixes) {
    ExpectRejected({L"", L" ", L"   ", L"-", L"+", L" -", L"$", L"x", L"X", L"0x", L"0X", L"-$",
                    L"+0x", L" $"});
}

TEST(StrToHandle, UnsignedDecimalUpTo32Bits) {
    EXPECT_EQ(jumper::StrToHandle(L"0"), 0u);
    EXPECT_EQ(jumper::StrToHandle(L"66058"), 66058u);
    EXPECT_EQ(jumper::StrToHandle(L"2147483648"), 2147483648u);
    EXPECT_EQ(jumper::StrToHandle(L"3000000000"), 3000000000u);
    EXPECT_EQ(jumper::StrToHandle(L"4294967295"), 4294967295u);
    ExpectRejected([](const std::wstring& text) { return jumper::StrToHandle(text); },
                   {L"4294967296", L"99999999999", L"-1", L"+5", L"", L"12a", L"$10", L"0x10",
                    L"5 "});
}

}  // namespace
