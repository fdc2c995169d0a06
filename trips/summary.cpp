// SPDX-License-Identifier: GPL-2.0-or-later
// The summary table and the JSON summary of all trips.
#include "summary.h"

#include <cinttypes>
#include <string>

#include "jsontext.h"
#include "timetext.h"

namespace trips {

namespace {

// "1:02:03" for a number of seconds.
std::string clockText(std::int64_t seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%" PRId64 ":%02" PRId64 ":%02" PRId64, seconds / 3600,
                  seconds % 3600 / 60, seconds % 60);
    return text;
}

void printTrip(std::FILE* out, const Trip& trip, logbook::LocalClock& clock) {
    const TripFigures& f = trip.figures;
    std::string start = isoTime(f.start_epoch, clock);
    start[10] = ' ';
    std::fprintf(out, "%4u  %-25s %9s %9.2f %9s %7.0f %7.1f %6d %6d %6.0f %6.0f %8" PRIu64 "\n",
                 trip.number, start.c_str(), clockText(f.duration_s).c_str(), f.distance_m / 1000.0,
                 clockText(f.moving_time_s).c_str(), f.max_speed_kmh, f.avg_speed_kmh,
                 f.min_altitude_m, f.max_altitude_m, f.climb_m, f.descent_m, f.points);
    if (trip.files.empty()) return;
    std::fputs("      ->", out);
    for (const auto& file : trip.files)
        std::fprintf(out, " %s", file.second.c_str());
    std::fputs("\n", out);
}

} // namespace

void printTable(std::FILE* out, const std::vector<InputFile>& inputs,
                const std::vector<Trip>& trips, logbook::LocalClock& clock) {
    for (const InputFile& input : inputs) {
        if (!input.readable) continue;
        std::fprintf(out, "%s: %" PRIu64 " bytes, %" PRIu64 " records, %" PRIu64 " point records\n",
                     input.path.c_str(), input.bytes, input.records, input.point_records);
    }
    if (trips.empty()) {
        std::fputs("No trip found.\n", out);
        return;
    }
    std::fprintf(out, "\n%4s  %-25s %9s %9s %9s %7s %7s %6s %6s %6s %6s %8s\n", "#", "start",
                 "duration", "km", "moving", "max kmh", "avg kmh", "min m", "max m", "climb",
                 "desc.", "points");
    for (const Trip& trip : trips)
        printTrip(out, trip, clock);
}

bool printJson(std::FILE* out, const std::vector<InputFile>& inputs, const std::vector<Trip>& trips,
               logbook::LocalClock& clock) {
    std::vector<char> storage(64 * 1024);
    logbook::TextBuffer text(storage);
    text.attach(out);
    {
        JsonStream stream(text);
        JsonWriter json(stream);
        json.StartObject();
        json.Key("version");
        json.Int(1);
        json.Key("inputs");
        json.StartArray();
        for (const InputFile& input : inputs) {
            json.StartObject();
            json.Key("path");
            const std::string path = validUtf8(input.path);
            json.String(path.data(), static_cast<rapidjson::SizeType>(path.size()));
            json.Key("bytes");
            json.Uint64(input.bytes);
            json.Key("records");
            json.Uint64(input.records);
            json.Key("point_records");
            json.Uint64(input.point_records);
            if (!input.readable) {
                json.Key("error");
                const std::string error = validUtf8(input.error);
                json.String(error.data(), static_cast<rapidjson::SizeType>(error.size()));
            }
            json.EndObject();
        }
        json.EndArray();
        json.Key("trips");
        json.StartArray();
        for (const Trip& trip : trips) {
            json.StartObject();
            writeTripMembers(json, trip, inputs, clock, true);
            json.EndObject();
        }
        json.EndArray();
        json.EndObject();
    }
    text.put("\n");
    text.flush();
    return text.ok() && std::fflush(out) == 0;
}

} // namespace trips
