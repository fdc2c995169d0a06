// SPDX-License-Identifier: GPL-2.0-or-later
// Small fixtures shared by the test suites: a fresh working directory, captured output streams,
// file helpers, a fixed time zone and a fixed clock.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "platform.h"

namespace testsupport {

namespace fs = std::filesystem;

// A new empty directory that is the working directory while the object lives.
class TempDir {
  public:
    TempDir() : previous_(fs::current_path()) {
        std::random_device random;
        for (int attempt = 0; attempt < 100; ++attempt) {
            path_ = fs::temp_directory_path() / ("kvtest-" + std::to_string(random()));
            if (fs::create_directory(path_)) break;
        }
        fs::current_path(path_);
    }
    ~TempDir() {
        std::error_code ignored;
        fs::current_path(previous_, ignored);
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
        for (const auto& entry : fs::recursive_directory_iterator(path_, ignored))
            fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const fs::path& path() const { return path_; }

  private:
    fs::path previous_;
    fs::path path_;
};

// A file of its own in the system's temporary folder, opened "w+b", removed when closed. The
// C library's tmpfile() is not used: Windows' makes its file in the root of the drive, where two
// test processes running at once can take the same name and one of them gets no stream.
inline std::FILE* scratchFile(fs::path& path) {
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        path = fs::temp_directory_path() /
               ("kvcapture-" + std::to_string(random()) + "-" + std::to_string(random()) + ".tmp");
        if (fs::exists(path)) continue;
        if (std::FILE* file = std::fopen(path.string().c_str(), "w+b")) return file;
    }
    std::fprintf(stderr, "cannot make a scratch file in %s\n",
                 fs::temp_directory_path().string().c_str());
    std::abort();
}

// A stream that a test hands to the code under test in place of stdout or stderr.
class Capture {
  public:
    Capture() : file_(scratchFile(path_)) {}
    ~Capture() {
        std::fclose(file_);
        std::error_code ignored;
        fs::remove(path_, ignored);
    }
    Capture(const Capture&) = delete;
    Capture& operator=(const Capture&) = delete;
    std::FILE* stream() const { return file_; }
    std::string text() const {
        std::fflush(file_);
        std::rewind(file_);
        std::string result;
        char buffer[4096];
        std::size_t got = 0;
        while ((got = std::fread(buffer, 1, sizeof buffer, file_)) > 0)
            result.append(buffer, got);
        std::fseek(file_, 0, SEEK_END);
        return result;
    }

  private:
    fs::path path_;
    std::FILE* file_;
};

inline std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::vector<std::uint8_t> readBytes(const fs::path& path) {
    const std::string text = readFile(path);
    return {text.begin(), text.end()};
}

inline void writeFile(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

inline void writeBytes(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

// A zone with daylight-saving time that glibc and the Windows C runtime read alike: the Windows
// runtime takes only the names and offsets from TZ and always applies the US change dates (second
// Sunday of March to first Sunday of November, from 2007 on), so the rule spells out those dates.
inline constexpr const char* kDaylightSavingZone = "CET-1CEST,M3.2.0,M11.1.0";

// Sets TZ for the life of the object.
class ScopedTimeZone {
  public:
    explicit ScopedTimeZone(const char* zone) {
        if (const char* old = std::getenv("TZ")) previous_ = old;
        set(zone);
    }
    ~ScopedTimeZone() { set(previous_ ? previous_->c_str() : nullptr); }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

  private:
    static void set(const char* zone) {
#ifdef _WIN32
        _putenv_s("TZ", zone != nullptr ? zone : "");
        _tzset();
#else
        if (zone != nullptr) {
            setenv("TZ", zone, 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
#endif
    }
    std::optional<std::string> previous_;
};

// Fixes platform::currentTime() for the life of the object.
class ScopedClock {
  public:
    explicit ScopedClock(std::time_t now) { platform::setCurrentTimeForTesting(now); }
    ~ScopedClock() { platform::setCurrentTimeForTesting(std::nullopt); }
    ScopedClock(const ScopedClock&) = delete;
    ScopedClock& operator=(const ScopedClock&) = delete;
};

} // namespace testsupport
