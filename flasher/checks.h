// SPDX-License-Identifier: GPL-2.0-or-later
// The stored image checks after an upload: the device checks its firmware, then firmware and
// graphics against the signatured CRC, and on a consistent image is told the flashing is over.
#pragma once

#include "devlink.h"

namespace flasher {

// The device may take this long to check what it stored.
inline constexpr int CHECK_TIMEOUT_MS = 30000;

// What one check found.
enum class CheckVerdict {
    Confirmed,    // the firmware is good / firmware and graphics are consistent
    Wrong,        // the device says the firmware is wrong / the CRCs differ
    NoValidReply, // no reply, or one that does not echo the check's command
};

struct CheckResult {
    CheckVerdict firmware = CheckVerdict::NoValidReply;
    CheckVerdict integrity = CheckVerdict::NoValidReply;
    bool confirmed() const {
        return firmware == CheckVerdict::Confirmed && integrity == CheckVerdict::Confirmed;
    }
};

// Runs the checks and prints the device's figures and verdicts on link.out. Requests set only
// bytes 0 and 1; bytes 2 to 63 keep what the upload left. The texts show every reply as it
// stands; a check whose reply did not come or does not echo its command is NoValidReply.
CheckResult checkStoredImage(devlink::Connection& link);

} // namespace flasher
