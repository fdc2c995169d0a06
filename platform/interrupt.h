// SPDX-License-Identifier: GPL-2.0-or-later
// Ctrl-C (SIGINT) during the long device jobs: noted in a flag instead of ending the process, so
// that the job can stop at a safe point and leave the logger and the files in a known state.
#pragma once

namespace platform {

// While one of these lives, SIGINT only sets the flag that interruptRequested() reads; the
// previous handling comes back when it is destroyed. Outside its life Ctrl-C ends the program
// as usual. Not nested.
class InterruptGuard {
  public:
    InterruptGuard();
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;
};

// True once SIGINT arrived while an InterruptGuard was alive (cleared when a guard is made).
bool interruptRequested();

// The exit status of a run that Ctrl-C ended: 128 + SIGINT, as shells report it.
inline constexpr int INTERRUPTED_STATUS = 130;

} // namespace platform
