// The exception hierarchy of the run-time layer. Messages are UTF-16; what() gives them in UTF-8.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

#include "kx8rt/platform/strings.h"

namespace kx8 {

// Base of every exception the library raises.
class Exception : public std::exception {
 public:
  explicit Exception(UnicodeString message);
  const UnicodeString& Message() const noexcept { return fMessage; }
  const char* what() const noexcept override { return fUtf8.c_str(); }

 private:
  UnicodeString fMessage;
  std::string fUtf8;
};

#define KX8_EXCEPTION(Name, Base)        \
  class Name : public Base {             \
   public:                               \
    using Base::Base;                    \
  }

KX8_EXCEPTION(EConvertError, Exception);   // bad number or date text, bad conversion
KX8_EXCEPTION(EListError, Exception);      // list index out of bounds, duplicates refused
KX8_EXCEPTION(EStreamError, Exception);    // base of the stream and file errors
KX8_EXCEPTION(EReadError, EStreamError);   // short or corrupt read
KX8_EXCEPTION(EWriteError, EStreamError);  // short write
KX8_EXCEPTION(EFOpenError, EStreamError);  // a file could not be opened
KX8_EXCEPTION(EFCreateError, EStreamError);  // a file could not be created
KX8_EXCEPTION(EInvalidCast, Exception);    // an object slot holds the wrong kind of thing
KX8_EXCEPTION(EZipError, Exception);       // an archive could not be read or written
KX8_EXCEPTION(EEncodingError, EConvertError);  // text not valid in the code page asked for

#undef KX8_EXCEPTION

// In-out failure with the operating system's error number.
class EInOutError : public Exception {
 public:
  EInOutError(UnicodeString message, int32_t errorCode) : Exception(std::move(message)), ErrorCode(errorCode) {}
  int32_t ErrorCode;
};

// Operating-system failure with its errno value.
class EOSError : public Exception {
 public:
  EOSError(UnicodeString message, int32_t errorCode) : Exception(std::move(message)), ErrorCode(errorCode) {}
  int32_t ErrorCode;
};

// Raises EOSError for errno with the system's text and the action that failed.
[[noreturn]] void RaiseLastOSError(int32_t errorCode, const UnicodeString& what);

}  // namespace kx8
