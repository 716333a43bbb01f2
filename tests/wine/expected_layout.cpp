#include "expected_layout.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>

namespace driver {

std::wstring ProbeLine(const ProbeLines& lines, const std::wstring& key) {
    const auto found = lines.find(key);
    return found == lines.end() ? std::wstring(L"(missing)") : found->second;
}

void CheckLayout(const Program& program, const ProbeLines& lines, int dpi) {
    const auto scaled = [dpi](int pixels) { return ::MulDiv(pixels, dpi, 96); };
    for (const ExpectedControl& expected : kExpected) {
        std::printf("control %d at %d dpi\n", expected.id, dpi);
        const RECT rect = RectInParent(program.Control(expected.id));
        int text_width = -1;
        int text_height = -1;
        std::swscanf(ProbeLine(lines, L"text " + std::to_wstring(expected.id)).c_str(), L"%d %d",
                     &text_width, &text_height);
        const std::wstring kind = expected.class_name;
        const int left = scaled(expected.left);
        const int width = scaled(expected.width);
        if (kind == L"Static") {
            CHECK_EQ(rect.right, left + width);
            CHECK_EQ(Width(rect), std::max(width, text_width));
        } else {
            CHECK_EQ(rect.left, left);
            CHECK_EQ(Width(rect), width);
        }
        CHECK_EQ(rect.top, scaled(expected.top));
        CHECK_EQ(Height(rect), scaled(expected.height));  // the closed height, for the list

        // Labels edge to edge, buttons inside their frame.
        const int frame = kind == L"Button" ? scaled(4) : 0;
        if (kind == L"Static" || kind == L"Button") {
            CHECK(text_width > 0);
            CHECK(text_width <= Width(rect) - 2 * frame);
            CHECK(text_height <= Height(rect) - frame);
        }
    }
}

}  // namespace driver
