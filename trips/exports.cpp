// SPDX-License-Identifier: GPL-2.0-or-later
// Writes every trip's files through temporary names, and feeds the collecting formats.
#include "exports.h"

#include <cerrno>
#include <memory>
#include <unordered_map>

#include "csv.h"
#include "files.h"
#include "geojson.h"
#include "gpx.h"
#include "kml.h"
#include "platform.h"
#include "rawdata.h"
#include "timetext.h"
#include "tripexport.h"

namespace trips {

namespace {

constexpr std::size_t kInputBufferSize = 64 * 1024;
constexpr std::size_t kOutputBufferSize = 128 * 1024;

logs::ExportResult kmlWriter(const TripExport& e, logbook::TextBuffer& text,
                             const logs::ExportOpener& open) {
    return logs::writeKml(e.source, text, open);
}

logs::ExportResult csvWriter(const TripExport& e, logbook::TextBuffer& text,
                             const logs::ExportOpener& open) {
    return logs::writeCsv(e.source, text, open);
}

TripWriter writerOf(Format format) {
    switch (format) {
    case Format::Gpx:
        return writeGpx;
    case Format::GeoJson:
        return writeGeoJson;
    case Format::Kml:
        return kmlWriter;
    case Format::Csv:
        return csvWriter;
    }
    return writeGpx;
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// The input of the trips being exported, kept open while consecutive trips come from it.
class InputCache {
  public:
    // The open input `file`, or null with `error` set.
    std::FILE* open(const InputFile& input, std::size_t file, int& error) {
        if (!data_ || file_ != file) {
            errno = 0;
            data_.reset(std::fopen(input.path.c_str(), "rb"));
            file_ = file;
            error_ = data_ ? 0 : (errno != 0 ? errno : ENOENT);
        }
        error = error_;
        return data_.get();
    }

  private:
    std::unique_ptr<std::FILE, FileCloser> data_;
    std::size_t file_ = 0;
    int error_ = 0;
};

// What one run of the exports shares: buffers, settings and the failure flag.
struct Exporter {
    const std::vector<InputFile>& inputs;
    const ExportSettings& settings;
    logbook::LocalClock& clock;
    std::FILE* err;
    std::vector<std::uint8_t> input = std::vector<std::uint8_t>(kInputBufferSize);
    std::vector<char> output = std::vector<char>(kOutputBufferSize);
    bool ok = true;

    void fail(const std::string& path, int error) {
        std::fprintf(err, "kvtrips: cannot write %s: %s\n", path.c_str(),
                     platform::errorText(error != 0 ? error : EIO).c_str());
        ok = false;
    }

    // One file of `trip`: written to a temporary name beside its final one, then renamed.
    void writeFile(Trip& trip, Format format, logbook::RecordReader& reader) {
        const std::string name = trip.stem + "." + formatName(format);
        const std::string path = joinPath(settings.outDir, name);
        const std::string temporary = temporaryPath(settings.outDir, name);
        int openError = 0;
        const logs::ExportOpener open = [&](const logbook::LocalTime&) {
            errno = 0;
            std::FILE* file = std::fopen(temporary.c_str(), "wb");
            if (file == nullptr) openError = errno;
            // The writers hand over large blocks: no second buffer.
            if (file != nullptr) std::setvbuf(file, nullptr, _IONBF, 0);
            return file;
        };
        logbook::TextBuffer text(output);
        const TripExport job{
            trip, inputs, {reader, trip.first, trip.last, settings.timeLimit, clock}};
        const logs::ExportResult result = writerOf(format)(job, text, open);
        if (result == logs::ExportResult::NotCreated) return fail(path, openError);
        if (result != logs::ExportResult::Written) {
            std::remove(temporary.c_str());
            // No point record left: the input changed since it was read.
            return fail(path, result == logs::ExportResult::WriteFailed ? text.error() : EIO);
        }
        const int renameError = platform::replaceFile(temporary.c_str(), path.c_str());
        if (renameError != 0) {
            std::remove(temporary.c_str());
            return fail(path, renameError);
        }
        trip.files.emplace_back(formatName(format), path);
    }
};

void feedSinks(const std::vector<TripSink*>& sinks, const Trip& trip, logbook::RecordReader& reader,
               std::uint32_t timeLimit) {
    for (TripSink* sink : sinks)
        sink->beginTrip(trip);
    logbook::readRange(reader, trip.first, trip.last);
    while (const std::uint8_t* report = logbook::nextPointRecord(reader, timeLimit)) {
        const std::uint32_t time = logbook::recordTime(report);
        const logbook::KVdata point = logbook::decodeRecord(report);
        for (TripSink* sink : sinks)
            sink->point(time, point);
    }
    for (TripSink* sink : sinks)
        sink->endTrip();
}

} // namespace

void assignStems(std::vector<Trip>& trips, logbook::LocalClock& clock) {
    std::unordered_map<std::string, unsigned> seen;
    for (Trip& trip : trips) {
        const std::string stem = exportStem(trip.figures.start_epoch, clock);
        const unsigned count = ++seen[stem];
        trip.stem = count == 1 ? stem : stem + "-" + std::to_string(count);
    }
}

std::string joinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    const char last = folder.back();
    if (last == '/' || last == platform::kDirSeparator) return folder + name;
    return folder + platform::kDirSeparator + name;
}

std::string temporaryPath(const std::string& folder, const std::string& name) {
    return joinPath(folder, "." + name + "." + std::to_string(platform::processId()) + ".tmp");
}

bool writeExports(std::vector<Trip>& trips, const std::vector<InputFile>& inputs,
                  const ExportSettings& settings, logbook::LocalClock& clock, std::FILE* err) {
    Exporter exporter{inputs, settings, clock, err};
    InputCache cache;
    const auto forEachReadable = [&](const auto& work) {
        for (Trip& trip : trips) {
            int error = 0;
            std::FILE* data = cache.open(inputs[trip.file], trip.file, error);
            if (data == nullptr) {
                std::fprintf(err, "kvtrips: cannot read %s: %s\n", inputs[trip.file].path.c_str(),
                             platform::errorText(error).c_str());
                exporter.ok = false;
                continue;
            }
            logbook::RecordReader reader(data, exporter.input);
            work(trip, reader);
        }
    };
    forEachReadable([&](Trip& trip, logbook::RecordReader& reader) {
        for (const Format format : settings.formats)
            exporter.writeFile(trip, format, reader);
    });
    // The collecting formats come second, so that they can name every file written for every trip.
    std::vector<TripSink*> sinks;
    for (TripSink* sink : settings.sinks) {
        if (sink->begin(trips, err))
            sinks.push_back(sink);
        else
            exporter.ok = false;
    }
    if (sinks.empty()) return exporter.ok;
    forEachReadable([&](const Trip& trip, logbook::RecordReader& reader) {
        feedSinks(sinks, trip, reader, settings.timeLimit);
    });
    for (TripSink* sink : sinks) {
        if (!sink->finish(err)) exporter.ok = false;
    }
    return exporter.ok;
}

} // namespace trips
