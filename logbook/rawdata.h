// SPDX-License-Identifier: GPL-2.0-or-later
// Reads raw.dat in whole 32-byte records, from any byte offset, through a buffer of its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <span>

namespace logbook {

// Moves `stream` to byte `offset` from its start, beyond 2 GiB too. True on success.
bool seekTo(std::FILE* stream, std::uint64_t offset);

// One reader of the shared raw.dat stream. The scan and the exports each have their own and share
// the stream: every refill of the buffer first seeks the stream to where this reader stands, so a
// reader does not depend on where another one left the stream. The buffer should hold a few
// thousand records; the reader allocates nothing.
class RecordReader {
  public:
    RecordReader(std::FILE* data, std::span<std::uint8_t> buffer) : data_(data), buffer_(buffer) {}
    RecordReader(const RecordReader&) = delete;
    RecordReader& operator=(const RecordReader&) = delete;

    // Continues reading at byte `offset`; no byte at or behind `limit` will be read.
    void restart(std::uint64_t offset,
                 std::uint64_t limit = std::numeric_limits<std::uint64_t>::max());

    // The next whole record (RECORD_SIZE bytes, valid until the next call), or null when fewer
    // than RECORD_SIZE bytes are left before the end of the file, a read error or the limit. A
    // trailing piece shorter than a record is never handed out.
    const std::uint8_t* next();

    // The offset of the record that next() hands out next.
    std::uint64_t offset() const { return fileOffset_ - (filled_ - position_); }

  private:
    bool refill();

    std::FILE* data_;
    std::span<std::uint8_t> buffer_;
    std::size_t position_ = 0;     // first unread byte in buffer_
    std::size_t filled_ = 0;       // bytes of buffer_ that hold file data
    std::uint64_t fileOffset_ = 0; // file offset of buffer_[filled_]
    std::uint64_t limit_ = std::numeric_limits<std::uint64_t>::max();
    bool ended_ = false;
};

// Sets `reader` to the records at `start`, `start` + 32, ... through the last one that begins at
// or before `stop` (none when `stop` < `start`): the inclusive range of a flight.
void readRange(RecordReader& reader, std::uint64_t start, std::uint64_t stop);

// The next point record (isPointRecord with `timeLimit`) from `reader`, passing over every other
// record; null at the end.
const std::uint8_t* nextPointRecord(RecordReader& reader, std::uint32_t timeLimit);

} // namespace logbook
