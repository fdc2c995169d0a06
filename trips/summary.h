// SPDX-License-Identifier: GPL-2.0-or-later
// What kvtrips prints: the table of trips for people, or one JSON object for scripts.
#pragma once

#include <cstdio>
#include <vector>

#include "localclock.h"
#include "trip.h"

namespace trips {

// Prints a line per readable input, then a line per trip with its figures rounded for reading and
// a line of the files written for it; "No trip found." when there is none. Times are shown by
// `clock`.
void printTable(std::FILE* out, const std::vector<InputFile>& inputs,
                const std::vector<Trip>& trips, logbook::LocalClock& clock);

// Prints {"version": 1, "inputs": [...], "trips": [...]} and a newline. Every string is valid
// UTF-8 (bytes of a name that are not are replaced by U+FFFD). Returns false when writing failed.
bool printJson(std::FILE* out, const std::vector<InputFile>& inputs, const std::vector<Trip>& trips,
               logbook::LocalClock& clock);

} // namespace trips
