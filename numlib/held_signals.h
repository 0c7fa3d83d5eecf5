#pragma once
// Signals held back around work that must not be cut short: a block of the report file is
// written whole or not at all, even when the user interrupts the program at that moment.

#include <signal.h>

namespace numlib {

// For as long as it lives, the calling thread does not take any signal that ends the program
// from outside (SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGALRM, the user and real-time signals ...;
// not the faults of its own instructions, SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGABRT and
// SIGSYS). A signal sent meanwhile waits and takes effect when the scope ends.
//
// A signal sent to the process goes to any thread that does not hold it, so the program starts
// its helper threads (the library's workers, the terminal's progress indicator) inside such a
// scope: they inherit the held mask, and a signal waits for the thread that writes.
class HeldSignals {
 public:
  HeldSignals();
  ~HeldSignals();
  HeldSignals(const HeldSignals&) = delete;
  HeldSignals& operator=(const HeldSignals&) = delete;

 private:
  sigset_t previous_;
};

}  // namespace numlib
