// The program's error classes. Handlers raise them; the window dispatcher shows them
// (see ui/error_text.h) and the worker's loop ends on them.
#pragma once

#include <exception>
#include <string>
#include <utility>

namespace platform {

// The general error class: carries the text the user reads.
class Exception : public std::exception {
public:
    explicit Exception(std::wstring message) : message_(std::move(message)) {}
    const std::wstring& Message() const noexcept { return message_; }
    const char* what() const noexcept override { return "platform::Exception"; }

private:
    std::wstring message_;
};

// A text that is not an integer.
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

}  // namespace platform
