// SPDX-License-Identifier: GPL-2.0-or-later
// The JSON of a trip's figures, shared by the --json summary and the GeoJSON properties.
#include "jsontext.h"

#include <charconv>
#include <cstdint>

#include "timetext.h"

namespace trips {

namespace {

// The length of the well-formed UTF-8 sequence at the start of `text`, or 0.
std::size_t sequenceLength(std::string_view text) {
    const auto byte = [&text](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;  // no overlong forms
        if (lead == 0xED) high = 0x9F; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F; // nothing above U+10FFFF
    } else {
        return 0;
    }
    if (text.size() < length) return 0;
    if (byte(1) < low || byte(1) > high) return 0;
    for (std::size_t k = 2; k < length; ++k) {
        if (byte(k) < 0x80 || byte(k) > 0xBF) return 0;
    }
    return length;
}

void writeString(JsonWriter& json, const std::string& text) {
    json.String(text.data(), static_cast<rapidjson::SizeType>(text.size()));
}

void writeKey(JsonWriter& json, const char* key) {
    json.Key(key);
}

} // namespace

std::string validUtf8(std::string_view text) {
    std::string valid;
    valid.reserve(text.size());
    while (!text.empty()) {
        const std::size_t length = sequenceLength(text);
        if (length == 0) {
            valid += "\xEF\xBF\xBD";
            text.remove_prefix(1);
        } else {
            valid.append(text.substr(0, length));
            text.remove_prefix(length);
        }
    }
    return valid;
}

void writeFixed(JsonWriter& json, double value, int decimals) {
    char text[64];
    const auto end =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    json.RawValue(text, static_cast<std::size_t>(end.ptr - text), rapidjson::kNumberType);
}

void writeFloat(JsonWriter& json, float value) {
    char text[64];
    const auto end = std::to_chars(text, text + sizeof text, value);
    json.RawValue(text, static_cast<std::size_t>(end.ptr - text), rapidjson::kNumberType);
}

void writeTripMembers(JsonWriter& json, const Trip& trip, const std::vector<InputFile>& inputs,
                      logbook::LocalClock& clock, bool withFiles) {
    const TripFigures& f = trip.figures;
    writeKey(json, "number");
    json.Uint(trip.number);
    writeKey(json, "start_epoch");
    json.Uint(f.start_epoch);
    writeKey(json, "end_epoch");
    json.Uint(f.end_epoch);
    writeKey(json, "start");
    writeString(json, isoTime(f.start_epoch, clock));
    writeKey(json, "end");
    writeString(json, isoTime(f.end_epoch, clock));
    writeKey(json, "duration_s");
    json.Int64(f.duration_s);
    writeKey(json, "points");
    json.Uint64(f.points);
    writeKey(json, "distance_m");
    writeFixed(json, f.distance_m, 3);
    writeKey(json, "moving_time_s");
    json.Int64(f.moving_time_s);
    writeKey(json, "max_speed_kmh");
    writeFixed(json, f.max_speed_kmh, 3);
    writeKey(json, "avg_speed_kmh");
    writeFixed(json, f.avg_speed_kmh, 3);
    writeKey(json, "min_altitude_m");
    json.Int(f.min_altitude_m);
    writeKey(json, "max_altitude_m");
    json.Int(f.max_altitude_m);
    writeKey(json, "climb_m");
    writeFixed(json, f.climb_m, 3);
    writeKey(json, "descent_m");
    writeFixed(json, f.descent_m, 3);
    writeKey(json, "max_rpm");
    json.Int(f.max_rpm);
    writeKey(json, "fuel_start_pct");
    json.Int(f.fuel_start_pct);
    writeKey(json, "fuel_end_pct");
    json.Int(f.fuel_end_pct);
    writeKey(json, "min_tout_c");
    json.Int(f.min_tout_c);
    writeKey(json, "max_tout_c");
    json.Int(f.max_tout_c);
    writeKey(json, "bounds");
    if (f.positions == 0) {
        json.Null();
    } else {
        json.StartObject();
        writeKey(json, "min_lat");
        writeFloat(json, static_cast<float>(f.min_lat));
        writeKey(json, "min_lon");
        writeFloat(json, static_cast<float>(f.min_lon));
        writeKey(json, "max_lat");
        writeFloat(json, static_cast<float>(f.max_lat));
        writeKey(json, "max_lon");
        writeFloat(json, static_cast<float>(f.max_lon));
        json.EndObject();
    }
    if (withFiles) {
        writeKey(json, "files");
        json.StartObject();
        for (const auto& [format, path] : trip.files) {
            writeString(json, format);
            writeString(json, validUtf8(path));
        }
        json.EndObject();
    }
    writeKey(json, "sources");
    json.StartArray();
    for (const std::size_t source : trip.sources)
        writeString(json, validUtf8(inputs[source].path));
    json.EndArray();
}

} // namespace trips
