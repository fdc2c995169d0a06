// SPDX-License-Identifier: GPL-2.0-or-later
// Discovery, opening and identification of the logger, and its printed device card.
#include <hidapi/hidapi.h>

#include "devlink.h"
#include "platform.h"

namespace devlink {

bool Connection::findDevice() {
    if (device_info_ != nullptr) hid_free_enumeration(device_info_);
    device_info_ = hid_enumerate(VENDOR_ID, PRODUCT_ID);
    return device_info_ != nullptr;
}

bool Connection::openDevice(bool passSerial, bool reportFailures) {
    if (device_info_ == nullptr) return false;
    const wchar_t* serial = passSerial ? device_info_->serial_number : nullptr;
    device_ = hid_open(device_info_->vendor_id, device_info_->product_id, serial);
    if (device_ == nullptr && reportFailures) {
        std::fputs("Failed to open device!\n", out);
        std::fflush(out);
        const std::string reason = platform::narrowText(hid_error(nullptr));
        std::fprintf(err, "Cannot open the logger: %s\n",
                     reason.empty() ? "no reason given by the HID library" : reason.c_str());
#ifdef __linux__
        std::fputs("Without root, the logger needs the udev rule 70-korvane-logger.rules "
                   "(see the README, \"Using the logger without root\").\n",
                   err);
#endif
        std::fflush(err);
    }
    return device_ != nullptr;
}

QueryResult Connection::queryDevice(bool reportFailures) {
    outputBuffer[0] = 0;
    outputBuffer[1] = CMD_QUERY;
    FailedReads failures;
    for (;;) {
        if (sendPacket() == -1 && reportFailures) {
            const std::string reason = platform::narrowText(hid_error(device_));
            std::fprintf(out, "Send error: %s\n",
                         reason.empty() ? "unknown error" : reason.c_str());
            std::fflush(out);
        }
        const int got = receivePacket(PacketFromPC.Contents.data(), QUERY_TIMEOUT_MS);
        if (got > 0 && PacketFromPC.Contents[0] == CMD_QUERY) return QueryResult::Identified;
        // Time-outs stay unbounded (a logger may take long to wake); failed reads do not.
        if (failures.note(got)) {
            reportDeviceGone(err);
            return QueryResult::DeviceGone;
        }
    }
}

void Connection::printDeviceCard() {
    const QueryInfo q = PacketFromPC.query();
    std::fprintf(out, "\r\n\r\nKorvane+ found \r\n\tID : %02X:%02X:%02X:%02X:%02X \r\n",
                 unsigned{q.MAC[0]}, unsigned{q.MAC[1]}, unsigned{q.MAC[2]}, unsigned{q.MAC[3]},
                 unsigned{q.MAC[4]});
    std::fprintf(out, "\tBattery : %u mV\r\n", unsigned{q.Battery});
    std::fprintf(out, "\tHW: %u.%u \r\n", unsigned{q.HW[0]}, unsigned{q.HW[1]});
    std::fprintf(out, "\tSW: %u.%u \r\n", unsigned{q.SW[0]}, unsigned{q.SW[1]});
    // Printed unsigned: a total time above 2^31 s must not show as negative.
    std::fprintf(out, "\tTotal time : %lu sec = %lu h \r\n\r\n",
                 static_cast<unsigned long>(q.GlobalTime),
                 static_cast<unsigned long>(q.GlobalTime / 3600U));
    std::fflush(out);
}

void Connection::drainReply() {
    receivePacket(PacketFromPC.Contents.data(), DRAIN_TIMEOUT_MS);
}

} // namespace devlink
