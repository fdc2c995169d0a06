// The stored image checks after an upload: the device checks its firmware, then firmware and
// graphics against the signatured CRC, and on a consistent image is told the flashing is over.
#pragma once

#include "devlink.h"

namespace flasher {

// The device may take this long to check what it stored.
inline constexpr int CHECK_TIMEOUT_MS = 30000;

// Runs the checks and prints the device's figures and verdicts on link.out. Requests set only
// bytes 0 and 1; bytes 2 to 63 keep what the upload left. Returns nothing: the texts tell the
// user, and the exit status does not depend on them.
void checkStoredImage(devlink::Connection& link);

} // namespace flasher
