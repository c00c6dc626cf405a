#pragma once
// Exceptions and small text helpers shared by the whole framework. Portable: no Win32 here.

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  const std::string& Message() const noexcept { return message_; }
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
};

#define ZX_EXCEPTION(Name, Base)                    \
  class Name : public Base {                        \
   public:                                          \
    using Base::Base;                               \
  };

ZX_EXCEPTION(EOutOfResources, Exception)
ZX_EXCEPTION(ERangeError, Exception)
ZX_EXCEPTION(EConvertError, Exception)
ZX_EXCEPTION(EListError, Exception)
ZX_EXCEPTION(EStringListError, Exception)
ZX_EXCEPTION(EComponentError, Exception)
ZX_EXCEPTION(EInvalidOperation, Exception)
ZX_EXCEPTION(EInvalidGraphic, Exception)
ZX_EXCEPTION(EStreamError, Exception)
ZX_EXCEPTION(EFOpenError, EStreamError)
ZX_EXCEPTION(EFCreateError, EStreamError)
ZX_EXCEPTION(EFilerError, EStreamError)
ZX_EXCEPTION(EReadError, EFilerError)
ZX_EXCEPTION(EWriteError, EFilerError)
ZX_EXCEPTION(EClassNotFound, EFilerError)
ZX_EXCEPTION(EResNotFound, Exception)
ZX_EXCEPTION(ERegistryException, Exception)
ZX_EXCEPTION(EOutlineError, Exception)

// printf-style formatting into a std::string (bounded, never overflows).
std::string Format(const char* fmt, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

std::string IntToStr(int64_t value);
// Strict decimal (or $hex) conversion of a 32-bit integer; throws EConvertError.
int StrToInt(std::string_view text);
bool TryStrToInt(std::string_view text, int& value);
std::string Trim(std::string_view text);
// ASCII-only case folding for comparisons of identifiers (property and class names).
bool SameText(std::string_view a, std::string_view b);
// Byte-wise three-way comparisons (-1, 0, 1): CompareText folds ASCII letters
// to upper case first, CompareStr compares the bytes as they are.
int CompareText(std::string_view a, std::string_view b);
int CompareStr(std::string_view a, std::string_view b);
// ASCII upper-casing; bytes outside 'a'..'z' stay as they are.
std::string UpperCase(std::string_view text);
