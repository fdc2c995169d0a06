// SPDX-License-Identifier: GPL-2.0-or-later
// Windows behaviour of the OS helpers: the binary console, directory errors with their reason,
// the Microsoft C runtime's limits of local time, and UTF-16 error texts.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform.h"
#include "support.h"

namespace {

using testsupport::readFile;
using testsupport::ScopedTimeZone;
using testsupport::TempDir;

// Sends what `stream` writes to a file for the life of the object. The stream starts in text
// mode, the C runtime's default for a console, pipe or file handed to a program.
class RedirectedStream {
  public:
    RedirectedStream(std::FILE* stream, const char* path) : stream_(stream), fd_(_fileno(stream)) {
        std::fflush(stream_);
        saved_ = _dup(fd_);
        const int file =
            _open(path, _O_CREAT | _O_TRUNC | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
        _dup2(file, fd_);
        _close(file);
        _setmode(fd_, _O_TEXT);
    }
    ~RedirectedStream() {
        std::fflush(stream_);
        _dup2(saved_, fd_);
        _close(saved_);
    }
    RedirectedStream(const RedirectedStream&) = delete;
    RedirectedStream& operator=(const RedirectedStream&) = delete;

  private:
    std::FILE* stream_;
    int fd_;
    int saved_ = -1;
};

TEST(WindowsConsole, BinaryConsoleWritesTheProgramsLineEndsAsTheyStand) {
    TempDir dir;
    {
        RedirectedStream out(stdout, "out.txt");
        RedirectedStream err(stderr, "err.txt");
        platform::useBinaryConsole();
        std::fputs("Device not found \r\n", stdout);
        std::fputs("usage :\r\nConnect\n\tSW: 1.2 \r\n", stdout);
        std::fputs("Directory created fail: File exists\n", stderr);
    }
    EXPECT_EQ(readFile("out.txt"), "Device not found \r\nusage :\r\nConnect\n\tSW: 1.2 \r\n");
    EXPECT_EQ(readFile("err.txt"), "Directory created fail: File exists\n");
}

// What the programs would write without it: every "\n" of a text-mode stream becomes "\r\n".
TEST(WindowsConsole, TextModeWouldDoubleTheCarriageReturns) {
    TempDir dir;
    {
        RedirectedStream out(stdout, "out.txt");
        std::fputs("Device not found \r\n", stdout);
    }
    EXPECT_EQ(readFile("out.txt"), "Device not found \r\r\n");
}

TEST(WindowsDirectories, FailuresCarryTheSystemsReason) {
    TempDir dir;
    ASSERT_EQ(platform::makeDirectory("2021-03-05_10-20"), 0);
    EXPECT_TRUE(platform::isDirectory("2021-03-05_10-20"));

    const int again = platform::makeDirectory("2021-03-05_10-20");
    EXPECT_EQ(again, EEXIST);
    EXPECT_EQ(platform::errorText(again), "File exists");

    testsupport::writeFile("2021-03-05_10-21", "not a folder");
    EXPECT_EQ(platform::makeDirectory("2021-03-05_10-21"), EEXIST);
    EXPECT_FALSE(platform::isDirectory("2021-03-05_10-21"));

    const int missingParent = platform::makeDirectory("missing\\2021-03-05_10-22");
    EXPECT_EQ(missingParent, ENOENT);
    EXPECT_EQ(platform::errorText(missingParent), "No such file or directory");
}

TEST(WindowsDirectories, ExportPathsWithTheSeparatorLandInTheFolder) {
    TempDir dir;
    ASSERT_EQ(platform::makeDirectory("2021-03-05_10-20"), 0);
    const std::string path = std::string("2021-03-05_10-20") + platform::kDirSeparator + "a.csv";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fputs("x\r\n", file);
    std::fclose(file);
    EXPECT_EQ(readFile(dir.path() / "2021-03-05_10-20" / "a.csv"), "x\r\n");
}

struct LocalTimeCase {
    std::uint64_t seconds;
    int year, month, day, hour, minute, second;
};

// Every 32-bit record time converts: the Windows time_t is 64 bits wide.
TEST(WindowsLocalTime, RecordTimesConvertUpToTheEndOfTheirRange) {
    ScopedTimeZone zone("UTC0");
    const LocalTimeCase cases[] = {
        {0, 1970, 1, 1, 0, 0, 0},
        {1614936059, 2021, 3, 5, 9, 20, 59},
        {2147483648ULL, 2038, 1, 19, 3, 14, 8},
        {4294967295ULL, 2106, 2, 7, 6, 28, 15},
    };
    for (const auto& c : cases) {
        std::tm out{};
        ASSERT_TRUE(platform::localTime(c.seconds, out)) << c.seconds;
        EXPECT_EQ(out.tm_year + 1900, c.year) << c.seconds;
        EXPECT_EQ(out.tm_mon + 1, c.month) << c.seconds;
        EXPECT_EQ(out.tm_mday, c.day) << c.seconds;
        EXPECT_EQ(out.tm_hour, c.hour) << c.seconds;
        EXPECT_EQ(out.tm_min, c.minute) << c.seconds;
        EXPECT_EQ(out.tm_sec, c.second) << c.seconds;
    }
}

TEST(WindowsLocalTime, TimesBeyondTheRuntimesRangeGiveFalseAndZeros) {
    ScopedTimeZone zone("UTC0");
    const std::uint64_t beyond[] = {32535302400ULL, 0x8000000000000000ULL, UINT64_MAX};
    for (const std::uint64_t seconds : beyond) {
        std::tm out{};
        out.tm_year = 121;
        EXPECT_FALSE(platform::localTime(seconds, out)) << seconds;
        EXPECT_EQ(out.tm_year, 0) << seconds;
        EXPECT_EQ(out.tm_mday, 0) << seconds;
        EXPECT_EQ(out.tm_hour, 0) << seconds;
        EXPECT_EQ(out.tm_isdst, 0) << seconds;
    }
}

struct WideTextCase {
    const wchar_t* wide;
    const char* utf8;
};

// hidapi's error texts are UTF-16 on Windows; characters beyond U+FFFF come as surrogate pairs.
TEST(WindowsWideText, Utf16BecomesUtf8) {
    const WideTextCase cases[] = {
        {L"WriteFile: (0x0000001F) A device attached to the system is not functioning.",
         "WriteFile: (0x0000001F) A device attached to the system is not functioning."},
        {L"Ger\x00E4t", "Ger\xC3\xA4t"},
        {L"\xD83D\xDE00", "\xF0\x9F\x98\x80"},
        {L"a\xD83D", "a\xEF\xBF\xBD"},
        {L"\xDE00z", "\xEF\xBF\xBDz"},
        {L"\xD83Dz", "\xEF\xBF\xBDz"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(platform::narrowText(c.wide), c.utf8);
    EXPECT_EQ(platform::narrowText(nullptr), "");
}

} // namespace
