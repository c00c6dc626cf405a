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
// An identifier: an ASCII letter or '_', then letters, digits and '_'.
bool IsValidIdent(std::string_view text);
// ASCII upper-casing; bytes outside 'a'..'z' stay as they are.
std::string UpperCase(std::string_view text);

// Floating-point text that does not depend on the locale: a point as decimal
// separator. FloatToText gives the shortest text that reads back to the
// identical double, always with a point or an exponent (1.0, -0.0, 1e+300), so
// that it cannot be taken for an integer; it raises EConvertError for an
// infinity or a NaN, which have no such text. TryTextToFloat accepts exactly
// an optional '-', digits, an optional fraction and an optional exponent, and
// refuses values beyond the range of a double (including those that would
// round to zero).
std::string FloatToText(double value);
bool TryTextToFloat(std::string_view text, double& value);
