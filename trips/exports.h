// SPDX-License-Identifier: GPL-2.0-or-later
// The exports of all trips: one file per trip and format, each written under a temporary name and
// renamed into place when complete, and the formats that are fed every trip in turn.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "localclock.h"
#include "options.h"
#include "record.h"
#include "trip.h"

namespace trips {

// A format that collects all trips into one output (the HTML report is one). writeExports feeds
// it once every trip's own files are written: begin with all trips (their figures, `stem` and the
// `files` written for each), then per trip beginTrip, point for every point record of the trip in
// file order, endTrip; and finish once after the last trip.
class TripSink {
  public:
    virtual ~TripSink() = default;
    // Starts the output. Returns false when it cannot be made, after reporting why on `err`; the
    // sink is then fed nothing more.
    virtual bool begin(const std::vector<Trip>& trips, std::FILE* err) = 0;
    virtual void beginTrip(const Trip& trip) = 0;
    virtual void point(std::uint32_t epoch, const logbook::KVdata& record) = 0;
    virtual void endTrip() = 0;
    // Completes the output. Returns false when it could not be written, after reporting why on
    // `err`.
    virtual bool finish(std::FILE* err) = 0;
};

// Names each trip's files after its start shown by `clock`, "YYYY-MM-DD_HH-MM-SS"; a later trip of
// the same name gets "-2", "-3", ... (trips in their final order).
void assignStems(std::vector<Trip>& trips, logbook::LocalClock& clock);

// `folder`, the directory separator and `name`.
std::string joinPath(const std::string& folder, const std::string& name);

// The temporary name under which file `name` of `folder` is written before it is renamed into
// place with platform::replaceFile: ".<name>.<process id>.tmp" in the same folder.
std::string temporaryPath(const std::string& folder, const std::string& name);

struct ExportSettings {
    std::string outDir;
    std::vector<Format> formats;
    std::uint32_t timeLimit = 0; // the point-record window's end, as in the first pass
    std::vector<TripSink*> sinks;
};

// Writes the files of every trip in `formats` into `outDir` (which must exist) and records them in
// each trip's `files`, then feeds the sinks every trip. A file is complete under its final name or
// not there at all: an older file of that name stays until the new one is complete. Each failure
// (an input that cannot be read again, a file that cannot be created, written or renamed) is one
// line on `err` naming the file and the reason; the other files are still written. Returns false
// when anything failed.
bool writeExports(std::vector<Trip>& trips, const std::vector<InputFile>& inputs,
                  const ExportSettings& settings, logbook::LocalClock& clock, std::FILE* err);

} // namespace trips
