// SPDX-License-Identifier: GPL-2.0-or-later
// Shared pieces of the fuzz targets: checks, scratch folder, captured output, scripted logger,
// and the recording of seed sessions.
#include "fuzz_support.h"

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>
#include <system_error>

#include <unistd.h>

#include "emulator.h"
#include "platform.h"

namespace fuzzsupport {

namespace fs = std::filesystem;

namespace {

std::vector<std::uint8_t>* recordInto = nullptr;
fs::path startedIn; // the working directory before the scratch folder

} // namespace

void check(bool condition, const char* target, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "%s check failed: %s\n", target, what);
    std::abort();
}

void enterScratchDirectory(const char* target) {
    // fuzz/run.sh points TMPDIR at a folder that it removes afterwards.
    const fs::path dir =
        fs::temp_directory_path() / (std::string(target) + "-" + std::to_string(getpid()));
    fs::create_directories(dir);
    startedIn = fs::current_path();
    fs::current_path(dir);
    setenv("TZ", "UTC0", 1);
    tzset();
    platform::setPausesSkippedForTesting(true);
}

void removeAllBut(const std::vector<std::string>& keep) {
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(".", ignored)) {
        const std::string name = entry.path().filename().string();
        bool kept = false;
        for (const std::string& wanted : keep)
            kept = kept || name == wanted;
        if (!kept) fs::remove_all(entry.path(), ignored);
    }
}

std::vector<std::uint8_t> readBytes(const std::string& path) {
    std::vector<std::uint8_t> bytes;
    std::error_code error;
    const auto size = fs::file_size(path, error);
    std::FILE* file = error ? nullptr : std::fopen(path.c_str(), "rb");
    if (file == nullptr) return bytes;
    bytes.resize(size);
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
    std::fclose(file);
    return bytes;
}

void writeBytes(const std::string& path, const std::uint8_t* bytes, std::size_t size) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    check(file != nullptr, "support", "a file of the scratch folder can be written");
    if (size > 0) std::fwrite(bytes, 1, size, file);
    std::fclose(file);
}

Output::Output() : stream_(open_memstream(&buffer_, &size_)) {
    check(stream_ != nullptr, "support", "an output stream in memory");
}

Output::~Output() {
    if (stream_ != nullptr) std::fclose(stream_);
    std::free(buffer_);
}

std::string Output::text() {
    if (stream_ != nullptr) std::fclose(stream_);
    stream_ = nullptr;
    return std::string(buffer_, size_);
}

sim::ReplySource& playScript(const sim::Scenario& logger, const std::uint8_t* script,
                             std::size_t size) {
    static std::optional<sim::ReplySource> source;
    if (!source) {
        // The emulated logger lists and opens the device; the script answers in its place.
        sim::reset(logger);
        source.emplace(logger);
        sim::playReplies(&*source);
    }
    // hid_open notes each serial number it was given: forget them, so that a run keeps no memory
    // of its own (libFuzzer reruns a run whose allocations outlive it, looking for a leak).
    sim::emulator().counters = sim::Counters{};
    source->start(script, size);
    source->recording = recordInto;
    return *source;
}

void writeSeedsIfAsked(std::vector<Seed> (*seeds)()) {
    const char* folder = std::getenv("KV_FUZZ_RECORD");
    if (folder == nullptr) return;
    for (const Seed& seed : seeds()) {
        const fs::path path = startedIn / folder / seed.name; // an absolute folder stays itself
        fs::create_directories(path.parent_path());
        writeBytes(path.string(), seed.script.data(), seed.script.size());
    }
    std::exit(0);
}

std::vector<std::uint8_t> healthyReads(std::size_t reads) {
    std::vector<std::uint8_t> script;
    while (reads > 0) {
        const std::size_t run = reads < 256 ? reads : 256;
        script.push_back(static_cast<std::uint8_t>(sim::ReplyOp::Run));
        script.push_back(static_cast<std::uint8_t>(run - 1));
        reads -= run;
    }
    return script;
}

std::vector<std::uint8_t> recordedStart(void (*run)(const std::uint8_t*, std::size_t),
                                        std::size_t keep, const std::vector<std::uint8_t>& tail) {
    std::vector<std::uint8_t> transcript;
    const std::vector<std::uint8_t> healthy = healthyReads(200000);
    recordInto = &transcript;
    run(healthy.data(), healthy.size());
    recordInto = nullptr;
    // Each recorded read is Raw with 64 bytes, Short with its length, or a one-byte op.
    std::size_t at = 0;
    for (std::size_t reads = 0; reads < keep && at < transcript.size(); ++reads) {
        const auto op = static_cast<sim::ReplyOp>(transcript[at]);
        at += op == sim::ReplyOp::Raw ? 65 : op == sim::ReplyOp::Short ? 2 : 1;
    }
    transcript.resize(std::min(at, transcript.size()));
    transcript.insert(transcript.end(), tail.begin(), tail.end());
    return transcript;
}

} // namespace fuzzsupport
