#include "jumper/error_text.h"

namespace jumper {

std::wstring ErrorBoxText(std::wstring_view message) {
    std::wstring text(message);
    if (!text.empty() && text.back() > L'.') text.push_back(L'.');
    return text;
}

std::wstring ApplicationTitle(std::wstring_view exe_path, LowerCaseFn lower_case) {
    const std::size_t slash = exe_path.find_last_of(L'\\');
    std::wstring_view name =
        slash == std::wstring_view::npos ? exe_path : exe_path.substr(slash + 1);
    name = name.substr(0, name.find(L'.'));
    // The first character is one UTF-16 unit, or two for a surrogate pair.
    const bool pair = name.size() >= 2 && name[0] >= 0xD800 && name[0] <= 0xDBFF &&
                      name[1] >= 0xDC00 && name[1] <= 0xDFFF;
    const std::size_t first = pair ? 2 : 1;
    if (name.size() <= first) return std::wstring(name);
    return std::wstring(name.substr(0, first)) + lower_case(name.substr(first));
}

}  // namespace jumper
