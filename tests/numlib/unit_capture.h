#pragma once
// Test fixture: a fresh error stack and the standard output unit captured into a string.

#include <gtest/gtest.h>

#include <string>

#include "numlib/error_stack.h"
#include "numlib/stop.h"
#include "numlib/units.h"

namespace numlib {

class CapturedOutput : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_error_stack();
    set_unit_sink(numlib::kStandardOutputUnit, [this](std::string_view text) { out += text; });
  }
  void TearDown() override {
    set_unit_sink(numlib::kStandardOutputUnit, {});
    reset_error_stack();
  }
  std::string out;
};

// Runs `body`, which must stop the program; returns the exit status, -1 when it did not stop.
template <class Body>
int stop_status(Body body) {
  try {
    body();
  } catch (const ProgramStop& stop) {
    return stop.status;
  }
  return -1;
}

}  // namespace numlib
