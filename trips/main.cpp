// SPDX-License-Identifier: GPL-2.0-or-later
// kvtrips: the trips of raw.dat files as GPX, GeoJSON, KML and CSV, with trip figures.
#include <cstdio>

#include "platform.h"
#include "run.h"

int main(int argc, char** argv) {
    platform::useBinaryConsole();
    return trips::run(argc, argv, stdout, stderr);
}
