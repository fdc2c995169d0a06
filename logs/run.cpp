// SPDX-License-Identifier: GPL-2.0-or-later
// The kvlogs run: find and identify the logger, download its log into raw.dat unless an argument
// was given, then analyse raw.dat.
#include "run.h"

#include <cerrno>
#include <string>

#include "devlink.h"
#include "download.h"
#include "flights.h"
#include "interrupt.h"
#include "platform.h"

namespace logs {

namespace {

constexpr const char* RAW_DAT = "raw.dat";

int downloadStatus(DownloadResult result) {
    return result == DownloadResult::Interrupted ? platform::INTERRUPTED_STATUS : 1;
}

// raw.dat open for reading, or null after one line on `err` that says why.
std::FILE* openRawDat(std::FILE* err) {
    // A folder named raw.dat is no log, on Linux as on Windows, where it cannot be opened.
    const bool folder = platform::isDirectory(RAW_DAT);
    errno = 0;
    std::FILE* data = folder ? nullptr : std::fopen(RAW_DAT, "rb");
    if (data != nullptr) return data;
    const std::string reason =
        folder ? std::string("it is a folder") : platform::errorText(errno != 0 ? errno : ENOENT);
    std::fprintf(err, "kvlogs: cannot read %s: %s; nothing was analysed\n", RAW_DAT,
                 reason.c_str());
    return nullptr;
}

} // namespace

int run(int argc, char** /*argv*/, std::FILE* out, std::FILE* err) {
    devlink::Connection link(out, err);
    const bool found = link.findDevice();
    std::fputs("Korvane plus Tripscope v.1.01a - free software for Korvane plus loggers, "
               "without any warranty\r\n",
               out);
    std::fputs("usage :\r\nConnect your KV+ to PC via USB , device must be on - and let the magic "
               "start :)\r\n\n",
               out);
    // Shown at once, also when the output goes to a file or a pipe while the logger answers.
    std::fflush(out);
    link.outputBuffer[0] = 0;
    if (!found) {
        std::fputs("Device not found \r\n", out);
        return 0;
    }
    // No exchange is possible without a handle: say why and stop.
    if (!link.openDevice(true, true)) return -1;
    if (link.queryDevice(false) == devlink::QueryResult::DeviceGone) return 1;
    link.printDeviceCard();
    link.drainReply();
    if (argc == 1) {
        const DownloadResult result = downloadLog(link, RAW_DAT);
        if (result != DownloadResult::Complete) {
            std::fflush(out);
            return downloadStatus(result);
        }
    }
    std::fputs("Done...\r\n", out);
    std::fflush(out);
    link.closeDevice();
    std::FILE* data = openRawDat(err);
    if (data == nullptr) return 1;
    const bool exported = scanFlights(data, out, err);
    std::fflush(out);
    return exported ? 0 : 1;
}

} // namespace logs
