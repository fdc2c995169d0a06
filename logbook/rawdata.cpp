// SPDX-License-Identifier: GPL-2.0-or-later
// Buffered whole-record reads of raw.dat at byte offsets, over the stream the analysis shares.
#include "rawdata.h"

#include <algorithm>
#include <cstring>

#include "record.h"

#ifndef _WIN32
#include <sys/types.h>
#endif

namespace logbook {

bool seekTo(std::FILE* stream, std::uint64_t offset) {
#ifdef _WIN32
    if (offset > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) return false;
    return _fseeki64(stream, static_cast<__int64>(offset), SEEK_SET) == 0;
#else
    if (offset > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) return false;
    return fseeko(stream, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

void RecordReader::restart(std::uint64_t offset, std::uint64_t limit) {
    position_ = 0;
    filled_ = 0;
    fileOffset_ = offset;
    limit_ = limit;
    ended_ = false;
}

const std::uint8_t* RecordReader::next() {
    if (filled_ - position_ < RECORD_SIZE && !refill()) return nullptr;
    const std::uint8_t* record = buffer_.data() + position_;
    position_ += RECORD_SIZE;
    return record;
}

bool RecordReader::refill() {
    if (ended_) return false;
    // Keep a piece of a record left at the end of the buffer: the rest of it comes next.
    const std::size_t kept = filled_ - position_;
    if (kept != 0) std::memmove(buffer_.data(), buffer_.data() + position_, kept);
    position_ = 0;
    filled_ = kept;
    std::size_t wanted = buffer_.size() - kept;
    if (limit_ <= fileOffset_) {
        wanted = 0;
    } else if (limit_ - fileOffset_ < wanted) {
        wanted = static_cast<std::size_t>(limit_ - fileOffset_);
    }
    std::size_t got = 0;
    if (wanted != 0 && seekTo(data_, fileOffset_)) {
        got = std::fread(buffer_.data() + kept, 1, wanted, data_);
    }
    filled_ += got;
    fileOffset_ += got;
    // Fewer bytes than asked for: the end of the file, a read error or the limit. Whatever whole
    // records arrived are still handed out; nothing more is read.
    if (got < wanted || wanted == 0) ended_ = true;
    return filled_ >= RECORD_SIZE;
}

void readRange(RecordReader& reader, std::uint64_t start, std::uint64_t stop) {
    if (stop < start) {
        reader.restart(start, start);
        return;
    }
    const std::uint64_t records = (stop - start) / RECORD_SIZE + 1;
    reader.restart(start, start + records * RECORD_SIZE);
}

const std::uint8_t* nextPointRecord(RecordReader& reader, std::uint32_t timeLimit) {
    const std::uint8_t* report = reader.next();
    while (report != nullptr && !isPointRecord(report, timeLimit))
        report = reader.next();
    return report;
}

} // namespace logbook
