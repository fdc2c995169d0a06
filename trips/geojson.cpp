// SPDX-License-Identifier: GPL-2.0-or-later
// Writes one trip as GeoJSON with RapidJSON's writer: positions in one pass, times in a second.
#include "geojson.h"

#include <charconv>

#include "figuresbuilder.h"
#include "jsontext.h"
#include "record.h"
#include "text.h"
#include "timetext.h"

namespace trips {

namespace {

// Every usable point record of the trip in turn, read again from the input.
template <typename Visit> void forEachPosition(const logs::ExportSource& source, Visit visit) {
    logbook::readRange(source.reader, source.start, source.stop);
    while (const std::uint8_t* report = logbook::nextPointRecord(source.reader, source.timeLimit)) {
        const logbook::KVdata point = logbook::decodeRecord(report);
        if (usablePosition(point)) visit(logbook::recordTime(report), point);
    }
}

// [lon, lat, altitude], handed to the writer as one array of numbers formatted here (floats as
// the shortest text that reads back as the same float): a tenth of the writer's calls.
void writePosition(JsonWriter& json, const logbook::KVdata& point) {
    char text[3 * logbook::NUMBER_TEXT_SIZE];
    char* p = text;
    *p++ = '[';
    p = std::to_chars(p, p + logbook::NUMBER_TEXT_SIZE, point.lon).ptr;
    *p++ = ',';
    p = std::to_chars(p, p + logbook::NUMBER_TEXT_SIZE, point.lat).ptr;
    *p++ = ',';
    p = logbook::formatInt(p, point.Altitude);
    *p++ = ']';
    json.RawValue(text, static_cast<std::size_t>(p - text), rapidjson::kArrayType);
}

void writeGeometry(JsonWriter& json, const TripExport& e) {
    const std::uint64_t positions = e.trip.figures.positions;
    json.Key("geometry");
    if (positions == 0) {
        json.Null();
        return;
    }
    json.StartObject();
    json.Key("type");
    json.String(positions == 1 ? "Point" : "LineString");
    json.Key("coordinates");
    if (positions == 1) {
        forEachPosition(e.source, [&json](std::uint32_t, const logbook::KVdata& point) {
            writePosition(json, point);
        });
    } else {
        json.StartArray();
        forEachPosition(e.source, [&json](std::uint32_t, const logbook::KVdata& point) {
            writePosition(json, point);
        });
        json.EndArray();
    }
    json.EndObject();
}

} // namespace

logs::ExportResult writeGeoJson(const TripExport& e, logbook::TextBuffer& text,
                                const logs::ExportOpener& open) {
    std::FILE* file = open(e.source.clock.at(e.trip.figures.start_epoch));
    if (file == nullptr) return logs::ExportResult::NotCreated;
    text.attach(file);
    {
        JsonStream stream(text);
        JsonWriter json(stream);
        json.StartObject();
        json.Key("type");
        json.String("FeatureCollection");
        json.Key("features");
        json.StartArray();
        json.StartObject();
        json.Key("type");
        json.String("Feature");
        writeGeometry(json, e);
        json.Key("properties");
        json.StartObject();
        writeTripMembers(json, e.trip, e.inputs, e.source.clock, false);
        json.Key("times");
        json.StartArray();
        logbook::LocalClock utc(true);
        forEachPosition(e.source, [&json, &utc](std::uint32_t time, const logbook::KVdata&) {
            // Digits, '-', ':', 'T' and 'Z' only: nothing to escape.
            char iso[32];
            iso[0] = '"';
            char* end = isoUtc(iso + 1, time, utc);
            *end++ = '"';
            json.RawValue(iso, static_cast<std::size_t>(end - iso), rapidjson::kStringType);
        });
        json.EndArray();
        json.EndObject();
        json.EndObject();
        json.EndArray();
        json.EndObject();
    }
    text.put("\n");
    return text.close() ? logs::ExportResult::Written : logs::ExportResult::WriteFailed;
}

} // namespace trips
