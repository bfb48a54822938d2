// ScriptError: the one error type of the platform and the component.
//
// Every failure carries a number and a description, as the legacy scripting
// runtime and the database library reported them. Errors pass unchanged
// through every caller; nothing catches them except where a method's own
// contract says it skips failing steps.
#pragma once

#include <stdexcept>
#include <string>

namespace tabrix {

// Numbers of the legacy runtime and of the database library.
enum ErrorNumber : long {
  kErrInvalidArgument = 5,
  kErrOverflow = 6,
  kErrSubscript = 9,
  kErrDivisionByZero = 11,
  kErrTypeMismatch = 13,
  kErrInvalidNull = 94,
  kErrObjectRequired = 424,
  kErrNoSuchMember = 438,
  kErrWrongArgCount = 450,
  kErrKeyExists = 457,
  kErrFileNotFound = 53,
  kErrPathNotFound = 76,
  kErrBadFileMode = 54,
  kErrInputPastEnd = 62,
  // The database library's own.
  kErrAdoArguments = 3001,
  kErrNoCurrentRecord = 3021,
  kErrAdoNotSupported = 3251,
  kErrItemNotFound = 3265,
  kErrObjectNotValid = 3420,
  kErrObjectClosed = 3704,
  kErrObjectOpen = 3705,
  kErrProviderNotFound = 3706,
  kErrNoConnection = 3709,
  // A provider's failure: the description holds the provider's own message.
  kErrProvider = -2147467259,
};

class ScriptError : public std::runtime_error {
 public:
  ScriptError(long number, std::string description)
      : std::runtime_error(description), number_(number), description_(std::move(description)) {}

  long number() const { return number_; }
  const std::string& description() const { return description_; }

 private:
  long number_;
  std::string description_;
};

// Raises the runtime's standard errors with their usual descriptions;
// `detail`, when given, is appended so the user learns what failed.
[[noreturn]] void RaiseError(long number, const std::string& detail = {});

// The runtime's standard description for a number ("Type mismatch", ...).
std::string StandardDescription(long number);

}  // namespace tabrix
