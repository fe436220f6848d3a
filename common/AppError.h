#pragma once

#include <stdexcept>
#include <string>

// The error every operation of the system raises; its message is what the
// operator sees in the general error report.
class AppError : public std::runtime_error {
  public:
    explicit AppError(const std::string& message) : std::runtime_error(message) {}
};
