// SPDX-License-Identifier: GPL-2.0-or-later
// POSIX and Windows implementations of the portable OS helpers.
#include "platform.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <sys/prctl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#endif

namespace platform {

namespace {
std::optional<std::time_t> fixedTime;
bool pausesSkipped = false;
} // namespace

void setPausesSkippedForTesting(bool skip) {
    pausesSkipped = skip;
}

void sleepMicroseconds(unsigned microseconds) {
    if (pausesSkipped) return;
#ifdef _WIN32
    // Windows sleeps count whole milliseconds: a sub-millisecond pause only yields.
    if (microseconds < 1000) {
        SwitchToThread();
    } else {
        Sleep(microseconds / 1000);
    }
#else
    timespec request{};
    request.tv_sec = static_cast<time_t>(microseconds / 1000000U);
    request.tv_nsec = static_cast<long>(microseconds % 1000000U) * 1000L;
    while (nanosleep(&request, &request) != 0 && errno == EINTR) {
    }
#endif
}

void useFineTimerSlack() {
#if defined(__linux__)
    // The default slack of 50 us would stretch every 100 us pause by half.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
#endif
}

int makeDirectory(const char* path) {
#ifdef _WIN32
    const int result = _mkdir(path);
#else
    const int result = mkdir(path, 0777);
#endif
    return result == 0 ? 0 : errno;
}

unsigned long processId() {
#ifdef _WIN32
    return GetCurrentProcessId();
#else
    return static_cast<unsigned long>(getpid());
#endif
}

bool isDirectory(const char* path) {
#ifdef _WIN32
    struct _stat64 info {};
    return _stat64(path, &info) == 0 && (info.st_mode & _S_IFDIR) != 0;
#else
    struct stat info {};
    return stat(path, &info) == 0 && S_ISDIR(info.st_mode);
#endif
}

std::string errorText(int error) {
#ifdef _WIN32
    char buffer[256] = {};
    strerror_s(buffer, sizeof buffer, error);
    return buffer;
#else
    return std::strerror(error);
#endif
}

bool localTime(std::uint64_t seconds, std::tm& out) {
    out = std::tm{};
    const auto value = static_cast<std::time_t>(seconds);
    if (static_cast<std::uint64_t>(value) != seconds) return false;
#ifdef _WIN32
    // The Microsoft C runtime leaves -1 in every field of a time it cannot convert (before 1970,
    // after the year 3000).
    if (localtime_s(&out, &value) == 0) return true;
    out = std::tm{};
    return false;
#else
    return localtime_r(&value, &out) != nullptr;
#endif
}

std::time_t currentTime() {
    return fixedTime ? *fixedTime : std::time(nullptr);
}

void setCurrentTimeForTesting(std::optional<std::time_t> fixed) {
    fixedTime = fixed;
}

std::string narrowText(const wchar_t* text) {
    std::string result;
    if (text == nullptr) return result;
    for (const wchar_t* p = text; *p != L'\0'; ++p) {
        auto code = static_cast<std::uint32_t>(*p);
        // UTF-16 surrogate pairs, where wchar_t is 16 bits wide (Windows).
        if (code >= 0xD800 && code <= 0xDBFF && p[1] != L'\0') {
            const auto low = static_cast<std::uint32_t>(p[1]);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                ++p;
            }
        }
        if ((code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) code = 0xFFFD;
        if (code < 0x80) {
            result += static_cast<char>(code);
        } else if (code < 0x800) {
            result += static_cast<char>(0xC0 | (code >> 6));
            result += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            result += static_cast<char>(0xE0 | (code >> 12));
            result += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            result += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            result += static_cast<char>(0xF0 | (code >> 18));
            result += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            result += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            result += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return result;
}

void useBinaryConsole() {
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#endif
}

} // namespace platform
