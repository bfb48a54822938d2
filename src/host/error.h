// ScriptError: the one error type of the platform and the component.
//
// Every failure carries a number and a description, as the legacy scripting
// runtime and the database library reported them. Errors pass unchanged
// through every caller; nothing catches them except where a method's own
// contract says it skips failing steps.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace tabrix {

// Numbers of the legacy runtime and of the database library.
enum ErrorNumber : long {
  kErrInvalidArgument = 5,
  kErrOverflow = 6,
  kErrOutOfMemory = 7,
  kErrSubscript = 9,
  kErrDivisionByZero = 11,
  kErrTypeMismatch = 13,
  kErrPermissionDenied = 70,
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
  kErrIllegalOperation = 3219,
  kErrObjectNotValid = 3420,
  kErrObjectClosed = 3704,
  kErrObjectOpen = 3705,
  kErrProviderNotFound = 3706,
  kErrNoConnection = 3709,
  // A provider's failure: the description holds the provider's own message.
  kErrProvider = -2147467259,
};

// What a provider failure was, in the same terms for every engine, so a
// caller can tell a constraint violation from a busy database.
enum class DbFailure : std::uint8_t {
  kNone,        // not a provider failure
  kConstraint,  // a key, NOT NULL, CHECK or foreign key refused the write
  kBusy,        // another connection holds a lock, or a timeout ran out
  kConnection,  // the database cannot be opened or the link was lost
  kStatement,   // the engine refused the SQL text (syntax, unknown name)
  kRowChanged,  // the row to change is gone or is not the one row it was
  kTimeout,     // a statement ran past its time limit and was interrupted
  kInjected,    // a test's fault seam failed the call
  kOther,
};

// The engine's own account of a provider failure.
struct NativeError {
  std::string engine;  // "SQLite", "PostgreSQL"; empty when none
  std::string code;    // SQLite's extended result code, PostgreSQL's SQLSTATE
  DbFailure failure = DbFailure::kNone;
};

// Who can mend a failure: the server's operator (a fault of the server or
// its settings), or the user, who sent a value the page cannot take or
// asked for what they may not do.
enum class Blame : std::uint8_t { kServer, kRequest, kRefused };

class ScriptError : public std::runtime_error {
 public:
  ScriptError(long number, std::string description, NativeError native = {},
              Blame blame = Blame::kServer)
      : std::runtime_error(description),
        number_(number),
        description_(std::move(description)),
        native_(std::move(native)),
        blame_(blame) {}

  long number() const { return number_; }
  const std::string& description() const { return description_; }
  // Set for provider failures (kErrProvider); empty otherwise.
  const NativeError& native() const { return native_; }
  Blame blame() const { return blame_; }

 private:
  long number_;
  std::string description_;
  NativeError native_;
  Blame blame_;
};

// Raises the runtime's standard errors with their usual descriptions;
// `detail`, when given, is appended so the user learns what failed.
[[noreturn]] void RaiseError(long number, const std::string& detail = {});

// Raises `number` as RaiseError does, for a request value the page cannot
// take: the user can mend it (a page number that is no number, a date that
// does not exist, a malformed record address).
[[noreturn]] void RaiseRequestError(long number, const std::string& detail);

// Raises 70 ("Permission denied") with `detail`, for what the user may not do.
[[noreturn]] void RaiseRefusal(const std::string& detail);

// Raises kErrProvider with the engine's own `message` and code.
[[noreturn]] void RaiseProviderError(std::string message, NativeError native);

// The runtime's standard description for a number ("Type mismatch", ...).
std::string StandardDescription(long number);

}  // namespace tabrix
