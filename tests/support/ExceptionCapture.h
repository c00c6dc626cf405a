#pragma once
// Takes the exceptions that reach the application object while it lives, in
// place of the error box: how many, the last sender and the last message.

#include <exception>
#include <string>

#include "Forms.h"

struct ExceptionCapture {
  TObject* sender = nullptr;
  std::string text;
  int count = 0;
  ExceptionCapture() {
    InitApplication();
    Application->OnException = TExceptionEvent([this](TObject* s, const std::exception_ptr& e) {
      ++count;
      sender = s;
      try {
        std::rethrow_exception(e);
      } catch (const std::exception& ex) {
        text = ex.what();
      }
    });
  }
  ExceptionCapture(const ExceptionCapture&) = delete;
  ExceptionCapture& operator=(const ExceptionCapture&) = delete;
  ~ExceptionCapture() { Application->OnException = TExceptionEvent(); }
};
