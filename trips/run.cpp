// SPDX-License-Identifier: GPL-2.0-or-later
// The kvtrips run: reads every input once, merges their trips, writes the exports and the summary.
#include "run.h"

#include <cinttypes>
#include <filesystem>
#include <system_error>
#include <vector>

#include "exports.h"
#include "html_sink.h"
#include "merge.h"
#include "options.h"
#include "platform.h"
#include "record.h"
#include "scan.h"
#include "summary.h"

namespace trips {

namespace {

constexpr std::size_t kScanBufferSize = 64 * 1024;

// The first pass over every input. Returns false when an input could not be read.
bool readInputs(const Options& options, std::uint32_t timeLimit, std::vector<InputFile>& inputs,
                std::vector<Trip>& trips, std::FILE* err) {
    std::vector<std::uint8_t> buffer(kScanBufferSize);
    bool ok = true;
    for (const std::string& path : options.inputs) {
        ScanResult scanned = scanPath(path, inputs.size(), options.gap, timeLimit, buffer, trips);
        if (!scanned.error.empty()) {
            std::fprintf(err, "kvtrips: cannot read %s: %s\n", path.c_str(), scanned.error.c_str());
            scanned.input.error = scanned.error;
            ok = false;
        } else if (scanned.trailing != 0 && !options.quiet) {
            std::fprintf(err,
                         "kvtrips: warning: %s ends with %" PRIu64
                         " bytes that are less than a record; they are skipped\n",
                         path.c_str(), scanned.trailing);
        }
        inputs.push_back(std::move(scanned.input));
    }
    return ok;
}

// Makes the export folder and its parents. Returns false after reporting why it cannot be made.
bool makeOutDir(const std::string& dir, std::FILE* err) {
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    if (!error && platform::isDirectory(dir.c_str())) return true;
    const std::string reason = error ? error.message() : platform::errorText(ENOTDIR);
    std::fprintf(err, "kvtrips: cannot make the folder %s: %s\n", dir.c_str(), reason.c_str());
    return false;
}

} // namespace

int run(int argc, char** argv, std::FILE* out, std::FILE* err) {
    const CommandLine commandLine = parseCommandLine(argc, argv, out, err);
    if (!commandLine.options) return commandLine.status;
    const Options& options = *commandLine.options;

    const std::uint32_t timeLimit = logbook::pointTimeLimit(platform::currentTime());
    logbook::LocalClock clock(options.utc);
    std::vector<InputFile> inputs;
    std::vector<Trip> trips;
    bool ok = readInputs(options, timeLimit, inputs, trips, err);

    orderTrips(trips);
    dropDuplicates(trips, inputs, timeLimit);
    filterAndNumber(trips, options.since, options.until);
    assignStems(trips, clock);

    HtmlSink report(options.outDir, options.utc);
    if (!options.dryRun) {
        if (makeOutDir(options.outDir, err)) {
            ExportSettings settings{options.outDir, options.formats, timeLimit, {}};
            if (options.html) settings.sinks.push_back(&report);
            if (!writeExports(trips, inputs, settings, clock, err)) ok = false;
        } else {
            ok = false;
        }
    }
    if (options.json) {
        if (!printJson(out, inputs, trips, clock)) ok = false;
    } else if (!options.quiet) {
        printTable(out, inputs, trips, clock);
        if (report.written())
            std::fprintf(out, "\nReport of all trips: %s\n", report.path().c_str());
    }
    std::fflush(out);
    return ok ? 0 : 1;
}

} // namespace trips
