// SPDX-License-Identifier: GPL-2.0-or-later
// What the fuzz targets share: the failed-check abort, a scratch working directory per process,
// output captured in memory, and the emulated logger set up to play a fuzzer's replies.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "reply_source.h"

namespace fuzzsupport {

// After the logger is unplugged a program may still try this many hid_write and hid_read calls
// before it must have ended: every loop is bounded once the device stops answering.
inline constexpr std::uint64_t CALLS_AFTER_UNPLUGGED_LIMIT = 1000;

// Aborts (a finding for libFuzzer) with `what` on standard error unless `condition` holds.
void check(bool condition, const char* target, const char* what);

// Makes a fresh folder below TMPDIR named after `target` and this process the working directory,
// fixes the time zone, and lets pauses return at once.
void enterScratchDirectory(const char* target);

// Removes everything in the working directory except the names in `keep`.
void removeAllBut(const std::vector<std::string>& keep);

// The bytes of a file, or nothing when it cannot be read.
std::vector<std::uint8_t> readBytes(const std::string& path);
void writeBytes(const std::string& path, const std::uint8_t* bytes, std::size_t size);

// A stream whose text is kept in memory until text() is asked for (and the stream closed).
class Output {
  public:
    Output();
    ~Output();
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;
    std::FILE* stream() const { return stream_; }
    std::string text();

  private:
    char* buffer_ = nullptr;
    std::size_t size_ = 0;
    std::FILE* stream_ = nullptr;
};

// A device on the emulated logger's hidapi surface whose replies the script decides (see
// reply_source.h). `logger` gives the logger that answers underneath; it is taken at the first
// call, and every later call starts that logger again as new.
sim::ReplySource& playScript(const sim::Scenario& logger, const std::uint8_t* script,
                             std::size_t size);

// With KV_FUZZ_RECORD set to a folder, the target writes its seed corpus there and ends: every
// entry that `seeds` gives is written as a file of that name.
struct Seed {
    std::string name;
    std::vector<std::uint8_t> script;
};
void writeSeedsIfAsked(std::vector<Seed> (*seeds)());

// A session recorded from the emulated logger: `run` plays a healthy script of `reads` reads and
// the script of the first `keep` reads is returned, followed by `tail`.
std::vector<std::uint8_t> recordedStart(void (*run)(const std::uint8_t*, std::size_t),
                                        std::size_t keep, const std::vector<std::uint8_t>& tail);

// A script of Own replies for the next `reads` reads (one Run op per 256 of them).
std::vector<std::uint8_t> healthyReads(std::size_t reads);

} // namespace fuzzsupport
