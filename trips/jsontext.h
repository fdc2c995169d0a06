// SPDX-License-Identifier: GPL-2.0-or-later
// JSON through RapidJSON's writer into our block-writing text buffer, valid UTF-8 for any name,
// numbers with fixed decimals, and the JSON object of one trip (the summary and GeoJSON share it).
#pragma once

#include <rapidjson/writer.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "localclock.h"
#include "text.h"
#include "trip.h"

namespace trips {

// RapidJSON's output stream over a TextBuffer: characters go straight into the buffer's storage.
// Flush() hands them to the buffer (call it before the buffer is flushed or closed).
class JsonStream {
  public:
    using Ch = char;
    explicit JsonStream(logbook::TextBuffer& text) : text_(text) {}
    JsonStream(const JsonStream&) = delete;
    JsonStream& operator=(const JsonStream&) = delete;
    ~JsonStream() { Flush(); }

    void Put(char c) {
        if (next_ == end_) refill();
        *next_++ = c;
    }
    void Flush() {
        if (next_ != nullptr) text_.commit(next_);
        next_ = end_ = nullptr;
    }

  private:
    static constexpr std::size_t kRoom = 4096;
    void refill() {
        Flush();
        next_ = text_.reserve(kRoom);
        end_ = next_ + kRoom;
    }

    logbook::TextBuffer& text_;
    char* next_ = nullptr;
    char* end_ = nullptr;
};

using JsonWriter = rapidjson::Writer<JsonStream>;

// `text` with every byte that is not part of a well-formed UTF-8 sequence replaced by U+FFFD.
std::string validUtf8(std::string_view text);

// Writes `value` as a JSON number with exactly `decimals` decimals (no exponent).
void writeFixed(JsonWriter& json, double value, int decimals);

// Writes a 32-bit float as the shortest JSON number that reads back as the same float.
void writeFloat(JsonWriter& json, float value);

// Writes the members of one trip's object (number, times, figures, bounds, files when `withFiles`,
// sources) into the object that `json` has open. Times are shown by `clock`.
void writeTripMembers(JsonWriter& json, const Trip& trip, const std::vector<InputFile>& inputs,
                      logbook::LocalClock& clock, bool withFiles);

} // namespace trips
