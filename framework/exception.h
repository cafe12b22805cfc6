#pragma once
#include <stdexcept>
#include <string>

namespace sv {

// The framework's exception: a message for the user, shown by the application's exception display.
class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
    std::string Message() const { return what(); }
};

} // namespace sv
