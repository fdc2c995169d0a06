// SPDX-License-Identifier: GPL-2.0-or-later
// The stored image checks: CMD_CHECK_FIRMWARE, CMD_CHECK_INTEGRITY, CMD_WRITE_STATUS, CMD_FINISH.
#include "checks.h"

#include <cstdio>

namespace flasher {

namespace {

constexpr std::uint8_t FIRMWARE_GOOD = 1;
// A reply counts only when the read delivered the bytes that are judged: the verdict byte 7 of
// the firmware check, the CRCs up to byte 8 of the integrity check. The buffer behind them may
// still hold an earlier reply, which says nothing about the stored image.
constexpr int FIRMWARE_VERDICT_END = 8;
constexpr int INTEGRITY_CRCS_END = 9;

void writeLine(std::FILE* out, const char* text) {
    std::fputs(text, out);
    std::fputc('\n', out);
}

// One request of the checks: only the report number and the command code are written. Returns
// the read's result.
int exchange(devlink::Connection& link, std::uint8_t command) {
    link.outputBuffer[0] = 0;
    link.outputBuffer[1] = command;
    (void)link.sendPacket();
    return link.receivePacket(link.PacketFromPC.Contents.data(), CHECK_TIMEOUT_MS);
}

// The firmware check's reply is shown as it stands, even a stale one; it is good only when this
// read brought the device's verdict byte, echoing the command, and that says so. Only such a
// reply counts toward the verdict that decides the exit status.
CheckVerdict checkFirmware(devlink::Connection& link) {
    const int got = exchange(link, devlink::CMD_CHECK_FIRMWARE);
    const std::uint8_t* reply = link.PacketFromPC.Contents.data();
    const bool valid = got >= FIRMWARE_VERDICT_END && reply[0] == devlink::CMD_CHECK_FIRMWARE;
    // The size is unsigned: a stale or garbled reply must not show a negative size.
    std::fprintf(link.out, "\tSize = %u bytes CRC %04X \r\n",
                 static_cast<unsigned>(devlink::getBE32(reply, 1)),
                 static_cast<unsigned>(devlink::getBE16(reply, 5)));
    std::fprintf(link.out, "\tDevice says that this firmware is %s \r\n",
                 valid && reply[7] == FIRMWARE_GOOD ? "OK :)" : "WRONG :(");
    if (!valid) return CheckVerdict::NoValidReply;
    return reply[7] == FIRMWARE_GOOD ? CheckVerdict::Confirmed : CheckVerdict::Wrong;
}

// Ends the flashing on the device. Sent as a proper request (report number 0, CMD_FINISH as the
// command) so that it reaches the device the same way on every platform; no reply follows.
void sendFinish(devlink::Connection& link) {
    link.outputBuffer[0] = 0;
    link.outputBuffer[1] = devlink::CMD_FINISH;
    (void)link.sendPacket();
}

} // namespace

CheckResult checkStoredImage(devlink::Connection& link) {
    std::FILE* out = link.out;
    CheckResult result;
    writeLine(out, "Checking firmware stored in device ...\r");
    result.firmware = checkFirmware(link);

    writeLine(out, "\r\nChecking integrity firmware&graphics stored at device ...\r");
    const int got = exchange(link, devlink::CMD_CHECK_INTEGRITY);
    const std::uint8_t* reply = link.PacketFromPC.Contents.data();
    if (got < INTEGRITY_CRCS_END || reply[0] != devlink::CMD_CHECK_INTEGRITY) {
        writeLine(out, "Wrong response or timeout \r");
        return result;
    }
    const std::uint32_t whole_size = devlink::getBE32(reply, 1);
    const std::uint16_t CRCwf = devlink::getBE16(reply, 5);
    const std::uint16_t calculatedCRCwf = devlink::getBE16(reply, 7);
    std::fprintf(out, "\tWhole size: %u bytes, signatured CRC: %04X\r\n",
                 static_cast<unsigned>(whole_size), static_cast<unsigned>(CRCwf));
    std::fprintf(out, "\tCRC calculated inside the device: %04X \r\n",
                 static_cast<unsigned>(calculatedCRCwf));
    if (calculatedCRCwf != CRCwf) {
        writeLine(out, "Something went wrong - Graphics data aren't consistent with firmware\r");
        result.integrity = CheckVerdict::Wrong;
        return result;
    }
    result.integrity = CheckVerdict::Confirmed;
    writeLine(out, "\tFirmware and Graphics data are consistent :)\r");
    writeLine(out, "\rRestart your device and have fun with new firmware (first boot may take "
                   "longer)\r");
    (void)exchange(link, devlink::CMD_WRITE_STATUS);
    sendFinish(link);
    return result;
}

} // namespace flasher
