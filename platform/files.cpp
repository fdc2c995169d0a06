// SPDX-License-Identifier: GPL-2.0-or-later
// POSIX and Windows implementations of the file operations that keep a download safe.
#include "files.h"

#include <cerrno>
#include <cstdio>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <sys/types.h>
#include <unistd.h>
#endif

namespace platform {

namespace {

int lastError() {
    return errno != 0 ? errno : EIO;
}

} // namespace

int fileLength(std::FILE* file, std::uint64_t& length) {
    errno = 0;
#ifdef _WIN32
    if (_fseeki64(file, 0, SEEK_END) != 0) return lastError();
    const __int64 end = _ftelli64(file);
#else
    if (fseeko(file, 0, SEEK_END) != 0) return lastError();
    const off_t end = ftello(file);
#endif
    if (end < 0) return lastError();
    length = static_cast<std::uint64_t>(end);
    return 0;
}

int truncateFile(std::FILE* file, std::uint64_t length) {
    errno = 0;
    // A failed write may leave bytes in the stream's buffer: they must not reach the file later.
    (void)std::fflush(file);
#ifdef _WIN32
    if (_chsize_s(_fileno(file), static_cast<__int64>(length)) != 0) return lastError();
    if (_fseeki64(file, 0, SEEK_END) != 0) return lastError();
#else
    if (ftruncate(fileno(file), static_cast<off_t>(length)) != 0) return lastError();
    if (fseeko(file, 0, SEEK_END) != 0) return lastError();
#endif
    return 0;
}

int syncFile(std::FILE* file) {
    errno = 0;
    if (std::fflush(file) != 0) return lastError();
#ifdef _WIN32
    if (_commit(_fileno(file)) != 0) return lastError();
#else
    if (fsync(fileno(file)) != 0) return lastError();
#endif
    return 0;
}

int replaceFile(const char* from, const char* to) {
#ifdef _WIN32
    // rename() refuses an existing target on Windows.
    if (MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0) return 0;
    switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        return EACCES;
    case ERROR_DISK_FULL:
        return ENOSPC;
    default:
        return EIO;
    }
#else
    errno = 0;
    return std::rename(from, to) == 0 ? 0 : lastError();
#endif
}

} // namespace platform
