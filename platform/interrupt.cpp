// SPDX-License-Identifier: GPL-2.0-or-later
// SIGINT noted in a flag: signal() with a volatile sig_atomic_t works alike on POSIX and Windows.
#include "interrupt.h"

#include <csignal>

namespace platform {

namespace {

volatile std::sig_atomic_t interrupted = 0;

using Handler = void (*)(int);
Handler previous = SIG_DFL;

extern "C" void noteInterrupt(int /*signal*/) {
    interrupted = 1;
    // Windows resets the handler to the default before calling it: ask again for the next one.
    std::signal(SIGINT, noteInterrupt);
}

} // namespace

InterruptGuard::InterruptGuard() {
    interrupted = 0;
    previous = std::signal(SIGINT, noteInterrupt);
    if (previous == SIG_ERR) previous = SIG_DFL;
}

InterruptGuard::~InterruptGuard() {
    std::signal(SIGINT, previous);
}

bool interruptRequested() {
    return interrupted != 0;
}

} // namespace platform
