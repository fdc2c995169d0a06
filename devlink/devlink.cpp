// SPDX-License-Identifier: GPL-2.0-or-later
// Packets, byte order and CRC-8 of the logger protocol, and the connection's raw exchanges.
#include "devlink.h"

#include <hidapi/hidapi.h>

#include "platform.h"

namespace devlink {

std::uint8_t CRC8(std::uint8_t data, std::uint8_t crc) {
    // CRC-8/MAXIM, one byte at a time: the CRCs of the eight single-bit bytes, XORed for each set
    // bit, with no table and no loop over bits.
    const auto x = static_cast<std::uint8_t>(data ^ crc);
    std::uint8_t result = 0;
    if ((x & 0x01U) != 0) result ^= 0x5E;
    if ((x & 0x02U) != 0) result ^= 0xBC;
    if ((x & 0x04U) != 0) result ^= 0x61;
    if ((x & 0x08U) != 0) result ^= 0xC2;
    if ((x & 0x10U) != 0) result ^= 0x9D;
    if ((x & 0x20U) != 0) result ^= 0x23;
    if ((x & 0x40U) != 0) result ^= 0x46;
    if ((x & 0x80U) != 0) result ^= 0x8C;
    return result;
}

std::uint8_t crc8Over(const std::uint8_t* bytes, std::size_t length, std::uint8_t crc) {
    for (std::size_t i = 0; i < length; ++i)
        crc = CRC8(bytes[i], crc);
    return crc;
}

QueryInfo USB_HID_BOOTLOADER_COMMAND::query() const {
    const std::uint8_t* bytes = Contents.data();
    QueryInfo info;
    info.Command = bytes[0];
    info.Battery = getLE16(bytes, 1);
    for (std::size_t i = 0; i < info.MAC.size(); ++i)
        info.MAC[i] = bytes[3 + i];
    info.HW = {bytes[8], bytes[9]};
    info.SW = {bytes[10], bytes[11]};
    info.GlobalTime = getLE32(bytes, 12);
    info.MaxLogBook = getLE16(bytes, 16);
    info.Logo = bytes[18];
    return info;
}

Connection::Connection(std::FILE* outStream, std::FILE* errStream)
    : out(outStream), err(errStream) {}

Connection::~Connection() {
    closeDevice();
    if (device_info_ != nullptr) hid_free_enumeration(device_info_);
}

bool Connection::initLibrary() {
    return hid_init() == 0;
}

void Connection::exitLibrary() {
    hid_exit();
}

int Connection::sendPacket() {
    if (device_ == nullptr) return -1;
    return hid_write(device_, outputBuffer.data(), outputBuffer.size());
}

int Connection::receivePacket(std::uint8_t* reply, int timeoutMs) {
    if (device_ == nullptr) return -1;
    return hid_read_timeout(device_, reply, PACKET_SIZE, timeoutMs);
}

void Connection::closeDevice() {
    if (device_ != nullptr) hid_close(device_);
    device_ = nullptr;
}

bool FailedReads::note(int readResult) {
    if (readResult >= 0) {
        count_ = 0;
        return false;
    }
    ++count_;
    platform::sleepMicroseconds(FAILED_READ_PAUSE_US);
    return count_ >= FAILED_READ_LIMIT;
}

void reportDeviceGone(std::FILE* err) {
    std::fprintf(err,
                 "\nThe logger stopped answering (%u failed reads in a row): check that it is "
                 "still plugged in and switched on.\n",
                 FAILED_READ_LIMIT);
    std::fflush(err);
}

} // namespace devlink
