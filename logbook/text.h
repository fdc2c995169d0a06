// SPDX-License-Identifier: GPL-2.0-or-later
// Locale-free number and time texts for the reports and exports, and a block-writing text buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <span>
#include <string_view>

#include "localclock.h"

namespace logbook {

// Room that any single number text below needs.
inline constexpr std::size_t NUMBER_TEXT_SIZE = 64;

// Writes `value` as "%d" would (for any 64-bit value) at `out`; returns the end of the text.
char* formatInt(char* out, std::int64_t value);

// Writes `value` widened to double as "%f" would in the C locale: six decimals rounded to nearest
// (ties to even), a point as decimal separator, "-" for every negative value including -0, and
// "inf", "-inf", "nan", "-nan". Returns the end of the text (at most NUMBER_TEXT_SIZE bytes).
char* formatFixed6(char* out, float value);

// Writes `time` by a strftime pattern limited to %Y, %m, %d, %H, %M, %S and literal characters
// (other conversions are copied as they stand). The same text as strftime's for these numeric
// conversions, without a std::tm and without the locale. Returns the end of the text.
char* formatTime(char* out, std::string_view pattern, const LocalTime& time);

// Copies `text` to `out`; returns the end of the copy. Inline, so that literals copy in a few
// moves.
inline char* copyText(char* out, std::string_view text) {
    std::memcpy(out, text.data(), text.size());
    return out + text.size();
}

// Collects text in `storage` (at least 4 KiB) and writes it to a stream in blocks of the storage's
// size, so that a 20 MB export costs a few hundred writes. A write that fails (a full disk) is
// remembered, so that the export can say it failed instead of reporting a truncated file as done.
// A row is written either piece by piece (put...) or, on the hot paths, by taking room with
// reserve(), formatting into it with the functions above and handing the end to commit().
class TextBuffer {
  public:
    explicit TextBuffer(std::span<char> storage) : storage_(storage) {}
    TextBuffer(const TextBuffer&) = delete;
    TextBuffer& operator=(const TextBuffer&) = delete;

    // Sends further text to `stream` (after flushing what is pending to the previous one).
    void attach(std::FILE* stream);
    void put(std::string_view text);
    void putInt(std::int64_t value) { commit(formatInt(reserve(NUMBER_TEXT_SIZE), value)); }
    void putFixed6(float value) { commit(formatFixed6(reserve(NUMBER_TEXT_SIZE), value)); }
    void putTime(std::string_view pattern, const LocalTime& time);
    // Writes what is pending to the stream.
    void flush();
    // False once a write to a stream has failed.
    bool ok() const { return ok_; }
    // The system's error number of the first failed write or close (0 when none failed or the
    // system gave none).
    int error() const { return error_; }
    // Writes what is pending and closes the attached stream; false if any write or the close
    // failed.
    bool close();

    // Room for `size` more bytes (at most the storage's size), flushing first when the storage is
    // too full.
    char* reserve(std::size_t size) {
        if (storage_.size() - used_ < size) flush();
        return storage_.data() + used_;
    }
    // Takes the text written from the last reserve() up to `end`.
    void commit(const char* end) { used_ = static_cast<std::size_t>(end - storage_.data()); }

  private:
    void fail();

    std::span<char> storage_;
    std::size_t used_ = 0;
    std::FILE* stream_ = nullptr;
    bool ok_ = true;
    int error_ = 0;
};

} // namespace logbook
