// Exceptions of the program: every failure that reaches the general error report carries a
// user-readable message; EAbort is the silent one that the report skips.
#pragma once

#include <stdexcept>
#include <string>

class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
  std::string Message() const { return what(); }
};

// Ends a handler without any report.
class EAbort : public Exception {
 public:
  EAbort() : Exception("Operation aborted") {}
};

// A file or device operation of the operating system failed.
class EOSError : public Exception {
 public:
  EOSError(const std::string& message, unsigned code) : Exception(message), ErrorCode(code) {}
  unsigned ErrorCode;
};
