// What the error message box says, and what its title is.
#pragma once

#include <string>
#include <string_view>

namespace jumper {

// The message, with "." appended when it is not empty and its last character's code is
// greater than that of ".".
std::wstring ErrorBoxText(std::wstring_view message);

// Lower-cases text as the system does for the user's language (platform::LowerCase).
using LowerCaseFn = std::wstring (*)(std::wstring_view text);

// The application's title from the executable's path: the file name, cut at its first ".",
// with every character after the first lower-cased ("C:\x\My Tool.EXE" gives "My tool").
std::wstring ApplicationTitle(std::wstring_view exe_path, LowerCaseFn lower_case);

}  // namespace jumper
