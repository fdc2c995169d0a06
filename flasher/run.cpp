// SPDX-License-Identifier: GPL-2.0-or-later
// kvflash's run from the banner to the exit status.
#include "flasher.h"

#include <cerrno>
#include <string>

#include "checks.h"
#include "image_header.h"
#include "interrupt.h"
#include "platform.h"
#include "upload.h"

namespace flasher {

namespace {

constexpr const char* DEFAULT_IMAGE = "firmware.vxo";
constexpr int STATUS_DONE = 0;
constexpr int STATUS_FAILED = 1;
constexpr int STATUS_INIT_FAILED = 1;
constexpr int STATUS_DEVICE_GONE = 1;
constexpr int STATUS_OPEN_FAILED = -1;
constexpr const char* FLASH_AGAIN =
    "; the logger must be flashed again with a good image before use\n";

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
    // Shown at once, also when the output goes to a file or a pipe while the logger is sought.
    std::fflush(out);
}

// Exactly one argument names the image; anything else means the default file.
const char* imagePath(int argc, char** argv) {
    return argc == 2 ? argv[1] : DEFAULT_IMAGE;
}

// Opens the image after naming it (`named`: given on the command line). Returns the open image,
// or nullptr after saying why.
std::FILE* openImage(const char* path, bool named, devlink::Connection& link) {
    if (named) {
        std::fprintf(link.out, "Firmware to upgrade device = %s\r\n", path);
    } else {
        writeLine(link.out, "Firmware to upgrade device = firmware.vxo\r");
    }
    // A folder is no image: Windows refuses to open one, and Linux must not upload one either.
    const bool folder = platform::isDirectory(path);
    errno = 0;
    std::FILE* image = folder ? nullptr : std::fopen(path, "rb");
    if (image != nullptr) return image;
    const std::string reason =
        folder ? std::string("it is a folder") : platform::errorText(errno != 0 ? errno : ENOENT);
    writeLine(link.out, "Error opening firmware file\r");
    std::fflush(link.out);
    std::fprintf(link.err, "kvflash: cannot open the firmware image %s: %s\n", path,
                 reason.c_str());
    return nullptr;
}

// The one line that says why an upload did not end well, or nothing after a complete one.
void reportUpload(std::FILE* err, const char* path, const UploadResult& upload) {
    const unsigned page = upload.page;
    const unsigned part = upload.part;
    switch (upload.end) {
    case UploadEnd::Complete:
        return;
    case UploadEnd::Interrupted:
        std::fprintf(err,
                     "kvflash: interrupted (Ctrl-C) during the upload of %s at page %u, part %u; "
                     "nothing more was sent%s",
                     path, page, part, FLASH_AGAIN);
        return;
    case UploadEnd::NoReply:
        std::fprintf(
            err,
            "kvflash: the upload of %s failed: the logger stopped answering at page %u, part %u%s",
            path, page, part, FLASH_AGAIN);
        return;
    case UploadEnd::WrongEcho:
        std::fprintf(
            err,
            "kvflash: the upload of %s failed: the logger's reply did not name page %u, part %u%s",
            path, page, part, FLASH_AGAIN);
        return;
    case UploadEnd::WrongCrc:
        std::fprintf(
            err,
            "kvflash: the upload of %s failed: the logger sent a wrong CRC for page %u, part %u%s",
            path, page, part, FLASH_AGAIN);
        return;
    }
}

const char* verdictText(CheckVerdict verdict, const char* good, const char* bad) {
    switch (verdict) {
    case CheckVerdict::Confirmed:
        return good;
    case CheckVerdict::Wrong:
        return bad;
    case CheckVerdict::NoValidReply:
        break;
    }
    return "got no valid reply";
}

// Header, refusal test, upload and checks on an identified, accepted device. Returns the exit
// status. The checks run whatever the upload's outcome, except after Ctrl-C: they are what tells
// the user whether the device holds a good image.
int flashImage(devlink::Connection& link, int argc, char** argv) {
    const char* path = imagePath(argc, argv);
    std::FILE* image = openImage(path, argc == 2, link);
    if (image == nullptr) return STATUS_FAILED;
    const ImageHeader header = readImageHeader(image);
    std::fprintf(link.out, "Firmware size = %u bytes\r\n",
                 static_cast<unsigned>(header.firmware_size));
    if (const std::string refusal = imageRefusal(image, header); !refusal.empty()) {
        std::fclose(image);
        std::fflush(link.out);
        std::fprintf(link.err,
                     "kvflash: %s is not a firmware image: %s; nothing was written to the logger\n",
                     path, refusal.c_str());
        return STATUS_FAILED;
    }
    const UploadResult upload = uploadImage(link, image, header.all_size, header.firmware_size);
    std::fclose(image);
    if (upload.end == UploadEnd::Interrupted) {
        std::fflush(link.out);
        reportUpload(link.err, path, upload);
        return platform::INTERRUPTED_STATUS;
    }
    const CheckResult checks = checkStoredImage(link);
    std::fflush(link.out);
    if (upload.end != UploadEnd::Complete) {
        reportUpload(link.err, path, upload);
        return STATUS_FAILED;
    }
    if (checks.confirmed()) return STATUS_DONE;
    std::fprintf(link.err,
                 "kvflash: the logger did not confirm the image %s: the firmware check %s, the "
                 "integrity check %s%s",
                 path, verdictText(checks.firmware, "said OK", "said WRONG"),
                 verdictText(checks.integrity, "found it consistent", "found it inconsistent"),
                 FLASH_AGAIN);
    return STATUS_FAILED;
}

void reportRefusedModel(devlink::Connection& link) {
    const devlink::QueryInfo q = link.PacketFromPC.query();
    std::fflush(link.out);
    std::fprintf(link.err,
                 "kvflash: the logger is not a supported model: hardware %u.%u, third ID byte "
                 "%02X; kvflash supports hardware 1.8 and 2.8 with third ID byte 02; nothing was "
                 "written to the logger\n",
                 unsigned{q.HW[0]}, unsigned{q.HW[1]}, unsigned{q.MAC[2]});
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
    int status = STATUS_FAILED;
    // The model is judged on the CMD_QUERY reply before drainReply may overwrite it.
    if (isSupportedModel(link.PacketFromPC.query())) {
        writeLine(link.out, "Korvane+ Found \r");
        link.drainReply();
        status = flashImage(link, argc, argv);
    } else {
        reportRefusedModel(link);
    }
    link.closeDevice();
    return status;
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
    std::fflush(err);
    return status;
}

} // namespace flasher
