#pragma once

#include <exception>
#include <string>
#include <utility>

namespace ksv::platform {

// The base of the program's own exceptions, whose what() is their own message:
// std::runtime_error and its kind would bring much of the library into ksv.exe.
class Error : public std::exception {
  public:
    explicit Error(std::string message) : message_(std::move(message)) {}

    const char* what() const noexcept override { return message_.c_str(); }

  private:
    std::string message_;
};

// A caller asked for something that cannot be done: a fault in the program.
class InvalidArgument : public Error {
  public:
    using Error::Error;
};

}  // namespace ksv::platform
