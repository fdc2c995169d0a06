// kvflash's run from the banner to the exit status.
#include "flasher.h"

#include "checks.h"
#include "platform.h"
#include "image_header.h"
#include "upload.h"

namespace flasher {

namespace {

constexpr const char* DEFAULT_IMAGE = "firmware.vxo";
constexpr int STATUS_DONE = 0;
constexpr int STATUS_INIT_FAILED = 1;
constexpr int STATUS_DEVICE_GONE = 1;
constexpr int STATUS_OPEN_FAILED = -1;

void writeLine(std::FILE* out, const char* text) {
    std::fputs(text, out);
    std::fputc('\n', out);
}

void writeBanner(std::FILE* out) {
    writeLine(out,
              "Korvane plus flasher ver 1.01a - (c) Korvane tools contributors, free software, "
              "no warranty\r");
    writeLine(out, "usage : Connect your KV+ to PC via USB , device must be on \r");
    writeLine(out, "        by default program use firmware.vxo file to upgrade your device - but "
                   "you can choose other vxo file by writing it name\r\n");
}

// Exactly one argument names the image; anything else means the default file. Returns the open
// image, or nullptr after saying so.
std::FILE* openImage(int argc, char** argv, std::FILE* out) {
    const char* path = DEFAULT_IMAGE;
    if (argc == 2) {
        path = argv[1];
        std::fprintf(out, "Firmware to upgrade device = %s\r\n", path);
    } else {
        writeLine(out, "Firmware to upgrade device = firmware.vxo\r");
    }
    // A folder is no image: Windows refuses to open one, and Linux must not upload one either.
    std::FILE* image = platform::isDirectory(path) ? nullptr : std::fopen(path, "rb");
    if (image == nullptr) writeLine(out, "Error opening firmware file\r");
    return image;
}

// Header, upload and checks on an identified, accepted device. The checks run whatever the
// upload's outcome: they are what tells the user whether the device holds a good image.
void flashImage(devlink::Connection& link, int argc, char** argv) {
    std::FILE* image = openImage(argc, argv, link.out);
    if (image == nullptr) return;
    const ImageHeader header = readImageHeader(image);
    std::fprintf(link.out, "Firmware size = %u bytes\r\n",
                 static_cast<unsigned>(header.firmware_size));
    uploadImage(link, image, header.all_size, header.firmware_size);
    std::fclose(image);
    checkStoredImage(link);
}

// Everything between hid_init and hid_exit; returns the exit status. The device is closed here on
// every path that opened it.
int flashFoundDevice(devlink::Connection& link, int argc, char** argv) {
    if (!link.findDevice()) {
        writeLine(link.out, "Vexaro device not found!\r");
        return STATUS_DONE;
    }
    if (!link.openDevice(false, true)) return STATUS_OPEN_FAILED;
    if (link.queryDevice(true) == devlink::QueryResult::DeviceGone) {
        link.closeDevice();
        return STATUS_DEVICE_GONE;
    }
    link.printDeviceCard();
    // The model is judged on the CMD_QUERY reply before drainReply may overwrite it.
    if (isSupportedModel(link.PacketFromPC.query())) {
        writeLine(link.out, "Korvane+ Found \r");
        link.drainReply();
        flashImage(link, argc, argv);
    }
    link.closeDevice();
    return STATUS_DONE;
}

} // namespace

bool isSupportedModel(const devlink::QueryInfo& query) {
    return query.MAC[2] == 2 && (query.HW[0] == 1 || query.HW[0] == 2) && query.HW[1] == 8;
}

int run(int argc, char** argv, std::FILE* out, std::FILE* err) {
    writeBanner(out);
    if (!devlink::Connection::initLibrary()) {
        writeLine(out, "HID initialization failed!");
        return STATUS_INIT_FAILED;
    }
    int status = STATUS_DONE;
    {
        devlink::Connection link(out, err);
        status = flashFoundDevice(link, argc, argv);
    }
    devlink::Connection::exitLibrary();
    std::fflush(out);
    return status;
}

} // namespace flasher
