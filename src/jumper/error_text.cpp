#include "jumper/error_text.h"

#include <algorithm>
#include <cwctype>

namespace jumper {

std::wstring ErrorBoxText(std::wstring_view message) {
    std::wstring text(message);
    if (!text.empty() && text.back() > L'.') text.push_back(L'.');
    return text;
}

std::wstring ApplicationTitle(std::wstring_view exe_path) {
    const std::size_t slash = exe_path.find_last_of(L'\\');
    std::wstring_view name =
        slash == std::wstring_view::npos ? exe_path : exe_path.substr(slash + 1);
    name = name.substr(0, name.find(L'.'));
    std::wstring title(name);
    if (title.size() > 1) {
        std::transform(title.begin() + 1, title.end(), title.begin() + 1, [](wchar_t c) {
            return static_cast<wchar_t>(std::towlower(static_cast<std::wint_t>(c)));
        });
    }
    return title;
}

}  // namespace jumper
