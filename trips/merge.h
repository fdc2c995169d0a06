// SPDX-License-Identifier: GPL-2.0-or-later
// Merging the trips of several inputs: order, duplicates of overlapping downloads, filters and
// numbers. Works on the small trip descriptors; records are compared by reading the inputs again.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "trip.h"

namespace trips {

// Sorts trips by start time, then end time, then input order (then position in the input).
void orderTrips(std::vector<Trip>& trips);

// True when the point records of `part` are, byte for byte, a contiguous run of the point records
// of `whole` (equal ones included). Reads both trips' records from their inputs, streaming; an
// input that cannot be read again counts as no match.
bool isContainedIn(const Trip& part, const Trip& whole, const std::vector<InputFile>& inputs,
                   std::uint32_t timeLimit);

// Drops every trip whose point records are a contiguous run of another trip's, keeping the longer
// one (of two identical trips, the one of the earlier input) and adding the dropped trip's inputs
// to the kept trip's sources. Leaves the trips in the order of orderTrips.
void dropDuplicates(std::vector<Trip>& trips, const std::vector<InputFile>& inputs,
                    std::uint32_t timeLimit);

// Keeps the trips that start at or after `since` and before `until` (seconds since 1970 UTC, each
// when given), then numbers them 1, 2, ... in their order.
void filterAndNumber(std::vector<Trip>& trips, std::optional<std::int64_t> since,
                     std::optional<std::int64_t> until);

} // namespace trips
