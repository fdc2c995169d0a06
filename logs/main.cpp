// SPDX-License-Identifier: GPL-2.0-or-later
// kvlogs: downloads the Korvane plus log into raw.dat and exports its flights as KML and CSV.
#include "platform.h"
#include "run.h"

int main(int argc, char** argv) {
    platform::useBinaryConsole();
    return logs::run(argc, argv);
}
