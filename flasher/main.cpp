// SPDX-License-Identifier: GPL-2.0-or-later
// kvflash: uploads a firmware image into a Korvane plus logger and has the device check it.
#include "flasher.h"
#include "platform.h"

int main(int argc, char** argv) {
    platform::useBinaryConsole();
    // Keeps the protocol's 100 us pauses close to 100 us over the tens of thousands of parts.
    platform::useFineTimerSlack();
    return flasher::run(argc, argv);
}
