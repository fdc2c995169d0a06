// The kvlogs run: find and identify the logger, download its log into raw.dat unless an argument
// was given, then analyse raw.dat.
#include "run.h"

#include "devlink.h"
#include "download.h"
#include "flights.h"
#include "platform.h"

namespace logs {

int run(int argc, char** /*argv*/, std::FILE* out, std::FILE* err) {
    devlink::Connection link(out, err);
    const bool found = link.findDevice();
    std::fputs("Korvane plus Tripscope v.1.01a - free software for Korvane plus loggers, "
               "without any warranty\r\n",
               out);
    std::fputs("usage :\r\nConnect your KV+ to PC via USB , device must be on - and let the magic "
               "start :)\r\n\n",
               out);
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
    if (argc == 1 && downloadLog(link) != DownloadResult::Complete) {
        std::fflush(out);
        return 1;
    }
    std::fputs("Done...\r\n", out);
    std::fflush(out);
    link.closeDevice();
    // A folder named raw.dat is no log, on Linux as on Windows, where it cannot be opened.
    std::FILE* data = platform::isDirectory("raw.dat") ? nullptr : std::fopen("raw.dat", "rb");
    if (data == nullptr) return 0;
    scanFlights(data, out, err);
    std::fflush(out);
    return 0;
}

} // namespace logs
