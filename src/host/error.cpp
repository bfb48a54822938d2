#include "host/error.h"

namespace tabrix {

std::string StandardDescription(long number) {
  switch (number) {
    case kErrInvalidArgument: return "Invalid procedure call or argument";
    case kErrOverflow: return "Overflow";
    case kErrOutOfMemory: return "Out of memory";
    case kErrSubscript: return "Subscript out of range";
    case kErrDivisionByZero: return "Division by zero";
    case kErrTypeMismatch: return "Type mismatch";
    case kErrFileNotFound: return "File not found";
    case kErrBadFileMode: return "Bad file mode";
    case kErrInputPastEnd: return "Input past end of file";
    case kErrPathNotFound: return "Path not found";
    case kErrPermissionDenied: return "Permission denied";
    case kErrInvalidNull: return "Invalid use of Null";
    case kErrObjectRequired: return "Object required";
    case kErrNoSuchMember: return "Object doesn't support this property or method";
    case kErrWrongArgCount: return "Wrong number of arguments or invalid property assignment";
    case kErrKeyExists: return "This key is already associated with an element of this collection";
    case kErrAdoArguments:
      return "Arguments are of the wrong type, are out of acceptable range, or are in conflict "
             "with one another";
    case kErrNoCurrentRecord:
      return "Either BOF or EOF is True, or the current record has been deleted";
    case kErrAdoNotSupported: return "Current Recordset does not support this operation";
    case kErrItemNotFound: return "Item cannot be found in the collection corresponding to the "
                                  "requested name or ordinal";
    case kErrIllegalOperation: return "Operation is not allowed in this context";
    case kErrObjectNotValid: return "Object is no longer valid";
    case kErrObjectClosed: return "Operation is not allowed when the object is closed";
    case kErrObjectOpen: return "Operation is not allowed when the object is open";
    case kErrProviderNotFound: return "Provider cannot be found";
    case kErrNoConnection: return "The connection cannot be used to perform this operation";
    default: return "Error " + std::to_string(number);
  }
}

void RaiseError(long number, const std::string& detail) {
  std::string text = StandardDescription(number);
  if (!detail.empty()) text += ": " + detail;
  throw ScriptError(number, text);
}

void RaiseRequestError(long number, const std::string& detail) {
  throw ScriptError(number, StandardDescription(number) + ": " + detail, {}, Blame::kRequest);
}

void RaiseRefusal(const std::string& detail) {
  throw ScriptError(kErrPermissionDenied, StandardDescription(kErrPermissionDenied) + ": " + detail,
                    {}, Blame::kRefused);
}

void RaiseProviderError(std::string message, NativeError native) {
  throw ScriptError(kErrProvider, std::move(message), std::move(native));
}

}  // namespace tabrix
