#pragma once
// How the numerical library (and the program above it) stops the program: by unwinding to the
// front end with the exit status, so that every file is closed and nothing written is lost.

#include <exception>

namespace numlib {

struct ProgramStop : std::exception {
  int status;
  explicit ProgramStop(int exit_status) : status(exit_status) {}
  const char* what() const noexcept override { return "program stop"; }
};

}  // namespace numlib
