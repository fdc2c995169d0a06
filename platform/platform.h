// SPDX-License-Identifier: GPL-2.0-or-later
// Operating-system services behind one small interface, so the same sources build for Linux and
// Windows: pauses, directories, local time, the clock, error texts and wide-character text.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

namespace platform {

#ifdef _WIN32
inline constexpr char kDirSeparator = '\\';
#else
inline constexpr char kDirSeparator = '/';
#endif

// Pauses the thread for about `microseconds`. Where the system sleeps in whole milliseconds it
// yields the processor instead of sleeping a millisecond.
void sleepMicroseconds(unsigned microseconds);
// With `skip` set, sleepMicroseconds returns at once: for fuzzing, where a pause only costs time.
void setPausesSkippedForTesting(bool skip);

// Asks the system to wake short sleeps close to the requested time (Linux timer slack); does
// nothing where there is no such setting. Safe to call more than once.
void useFineTimerSlack();

// Makes one directory with default access rights. Returns 0, or the system's error number.
int makeDirectory(const char* path);

// The running process' id, to make temporary file names of this run.
unsigned long processId();

// True when `path` names an existing directory.
bool isDirectory(const char* path);

// The system's description of error number `error`.
std::string errorText(int error);

// Converts seconds since 1970-01-01 UTC to the computer's local time. Returns false when the
// C library cannot represent the time (out of range); `out` is then all zero.
bool localTime(std::uint64_t seconds, std::tm& out);

// The current time in seconds since 1970-01-01 UTC, or the time fixed by setCurrentTimeForTesting.
std::time_t currentTime();
void setCurrentTimeForTesting(std::optional<std::time_t> fixed);

// UTF-8 for a wide-character text; an empty string for a null pointer. Independent of the locale.
std::string narrowText(const wchar_t* text);

// Puts standard output and standard error in binary mode where the C runtime has a text mode,
// so "\r\n" reaches a console, pipe or file as written.
void useBinaryConsole();

} // namespace platform
