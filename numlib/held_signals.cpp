#include "numlib/held_signals.h"

#include <pthread.h>

#include <initializer_list>

namespace numlib {

HeldSignals::HeldSignals() {
  sigset_t held;
  sigfillset(&held);
  for (const int fault : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGABRT, SIGSYS}) {
    sigdelset(&held, fault);
  }
  pthread_sigmask(SIG_BLOCK, &held, &previous_);
}

HeldSignals::~HeldSignals() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }

}  // namespace numlib
