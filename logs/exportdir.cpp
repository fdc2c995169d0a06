// SPDX-License-Identifier: GPL-2.0-or-later
// Makes the dated export folder and builds the paths of the files written into it.
#include "exportdir.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include "localclock.h"
#include "platform.h"
#include "text.h"

namespace logs {

using namespace logbook;

void create_timestamp_dir(FolderName& folder, std::FILE* out, std::FILE* err) {
    const std::time_t rawtime = platform::currentTime();
    // A clock set before 1970 names the folder as 1970-01-01 would.
    const LocalTime timeinfo = toLocalTime(rawtime < 0 ? 0U : static_cast<std::uint64_t>(rawtime));
    FolderName dirname{};
    *formatTime(dirname.data(), "%Y-%m-%d_%H-%M", timeinfo) = '\0';

    const int error = platform::makeDirectory(dirname.data());
    if (error == 0) {
        std::fprintf(out, "Directory created: %s\n", dirname.data());
        folder = dirname;
        return;
    }
    std::fprintf(err, "Directory created fail: %s\n", platform::errorText(error).c_str());
    if (platform::isDirectory(dirname.data())) folder = dirname;
}

bool exportPath(const FolderName& folder, std::string_view name, PathText& path) {
    const auto folderLength =
        static_cast<std::size_t>(std::find(folder.begin(), folder.end(), '\0') - folder.begin());
    const std::size_t separator = folderLength == 0 ? 0 : 1;
    path[0] = '\0';
    if (folderLength + separator + name.size() >= path.size()) return false;
    char* end = path.data();
    std::memcpy(end, folder.data(), folderLength);
    end += folderLength;
    if (separator != 0) *end++ = platform::kDirSeparator;
    std::memcpy(end, name.data(), name.size());
    end[name.size()] = '\0';
    return true;
}

std::FILE* createExportFile(const FolderName& folder, std::string_view namePattern,
                            const LocalTime& time, PathText& path) {
    path[0] = '\0';
    errno = ENAMETOOLONG;
    // Every two pattern characters give at most 11 ("%Y" of any int year).
    std::array<char, 160> name{};
    if (namePattern.size() * 6 >= name.size()) return nullptr;
    const char* end = formatTime(name.data(), namePattern, time);
    if (!exportPath(folder, {name.data(), static_cast<std::size_t>(end - name.data())}, path)) {
        errno = ENAMETOOLONG;
        return nullptr;
    }
    errno = 0;
    std::FILE* file = std::fopen(path.data(), "wb");
    if (file != nullptr) std::setvbuf(file, nullptr, _IONBF, 0);
    return file;
}

} // namespace logs
