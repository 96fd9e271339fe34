// hostrt::Status: the outcome of an operation inside the runtime and the programs: success, or
// a code naming the kind of failure and a message for the operator (Chinese, or the server's
// own text). A plain value: cheap to return, copy and keep; it never throws. Surfaces that
// must keep another form (a transaction's SQLCode, a function's 1 / -1, a message box) are
// built from it where they are exposed.
#pragma once

#include <string>
#include <string_view>
#include <utility>

namespace hostrt {

// What went wrong, as far as callers act on it differently.
enum class StatusCode {
  Ok,
  NotFound,    // the file, key, driver or library named is not there
  FileFault,   // a file cannot be read or written, or what it holds is damaged or does not fit
  BadValue,    // text or a request from the caller that does not have the expected form
  SqlFailure,  // the database refused or failed a statement
  Cancelled,   // the operator or a caller asked to stop
};

class [[nodiscard]] Status {
 public:
  Status() = default;  // success

  static Status Ok() { return Status(); }
  static Status Error(StatusCode code, std::string message) {
    return Status(code, std::move(message));
  }
  static Status NotFound(std::string message) {
    return Error(StatusCode::NotFound, std::move(message));
  }
  static Status FileFault(std::string message) {
    return Error(StatusCode::FileFault, std::move(message));
  }
  static Status BadValue(std::string message) {
    return Error(StatusCode::BadValue, std::move(message));
  }
  static Status SqlFailure(std::string message) {
    return Error(StatusCode::SqlFailure, std::move(message));
  }
  static Status Cancelled(std::string message) {
    return Error(StatusCode::Cancelled, std::move(message));
  }

  bool ok() const { return code_ == StatusCode::Ok; }
  StatusCode code() const { return code_; }
  const std::string& message() const { return message_; }

  bool IsNotFound() const { return code_ == StatusCode::NotFound; }
  bool IsCancelled() const { return code_ == StatusCode::Cancelled; }

  // The same failure with `context` put in front of its message (success stays success).
  Status WithContext(std::string_view context) const {
    if (ok()) return *this;
    return Status(code_, std::string(context) + message_);
  }

 private:
  // An error code with Ok would read as success; it is kept as a failure of bad value.
  Status(StatusCode code, std::string message)
      : code_(code == StatusCode::Ok ? StatusCode::BadValue : code), message_(std::move(message)) {}

  StatusCode code_ = StatusCode::Ok;
  std::string message_;
};

}  // namespace hostrt
