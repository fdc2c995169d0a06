// SPDX-License-Identifier: GPL-2.0-or-later
// The device link shared by kvflash and kvlogs: 64-byte request and reply packets, command codes,
// byte order, CRC-8, and the discovery, opening and identification of the Korvane plus logger.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "byteorder.h"

struct hid_device_;
struct hid_device_info;

namespace devlink {

inline constexpr std::uint16_t VENDOR_ID = 0x02AB;
inline constexpr std::uint16_t PRODUCT_ID = 0x0031;

inline constexpr std::uint8_t CMD_QUERY = 2;
inline constexpr std::uint8_t CMD_FINISH = 11;
inline constexpr std::uint8_t CMD_READ_PART = 14;
inline constexpr std::uint8_t CMD_WRITE_PART = 15;
inline constexpr std::uint8_t CMD_CHECK_FIRMWARE = 17;
inline constexpr std::uint8_t CMD_CHECK_INTEGRITY = 18;
inline constexpr std::uint8_t CMD_WRITE_STATUS = 20;

inline constexpr std::size_t PACKET_SIZE = 64;
inline constexpr std::size_t PART_SIZE = 32;
inline constexpr std::size_t PARTS_PER_PAGE = 128;
inline constexpr std::size_t PAGE_SIZE = PART_SIZE * PARTS_PER_PAGE;

inline constexpr int QUERY_TIMEOUT_MS = 1000;
inline constexpr int DRAIN_TIMEOUT_MS = 100;

// A failed read (-1, not a time-out) means the device is gone or broken: callers pause this long
// before asking again, and give up after this many failed reads in a row.
inline constexpr unsigned FAILED_READ_PAUSE_US = 10000;
inline constexpr unsigned FAILED_READ_LIMIT = 30;

using Packet = std::array<std::uint8_t, PACKET_SIZE>;

// One byte step of CRC-8/MAXIM: the running CRC after `data`. Running CRCs start at 0 and have no
// final XOR.
std::uint8_t CRC8(std::uint8_t data, std::uint8_t crc);

// The running CRC8 over `length` bytes, starting from `crc`.
std::uint8_t crc8Over(const std::uint8_t* bytes, std::size_t length, std::uint8_t crc = 0);

// The device-information fields of a CMD_QUERY reply (bytes 0 to 18, little-endian numbers).
struct QueryInfo {
    std::uint8_t Command = 0;
    std::uint16_t Battery = 0;
    std::array<std::uint8_t, 5> MAC{};
    std::array<std::uint8_t, 2> HW{};
    std::array<std::uint8_t, 2> SW{};
    std::uint32_t GlobalTime = 0;
    std::uint16_t MaxLogBook = 0;
    std::uint8_t Logo = 0;
};

// The reply buffer: raw bytes, and the query view decoded from them (no type punning).
struct USB_HID_BOOTLOADER_COMMAND {
    Packet Contents{};
    QueryInfo query() const;
};

enum class QueryResult {
    Identified, // PacketFromPC holds a reply whose byte 0 is CMD_QUERY
    DeviceGone, // FAILED_READ_LIMIT failed reads in a row; a message has been written
};

// One run's connection to the logger. Owns the enumeration list and the open handle and releases
// both when destroyed; the buffers start at zero and keep their bytes across exchanges, as the
// protocol requires. Only this class calls hid_*.
class Connection {
  public:
    explicit Connection(std::FILE* out = stdout, std::FILE* err = stderr);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // hid_init / hid_exit, for the flasher, which manages the library itself.
    static bool initLibrary();
    static void exitLibrary();

    // Lists devices with the logger's vendor and product ID; true when there is at least one.
    bool findDevice();
    // Opens the first listed device, with its serial number when `passSerial`. On failure writes
    // "Failed to open device!" and hidapi's reason when `reportFailures`, and returns false.
    bool openDevice(bool passSerial, bool reportFailures);
    // Sends CMD_QUERY until the device answers it. Time-outs and wrong replies are retried without
    // limit; FAILED_READ_LIMIT failed reads in a row end it with DeviceGone.
    QueryResult queryDevice(bool reportFailures);
    // The five-line device card from the CMD_QUERY reply in PacketFromPC.
    void printDeviceCard();
    // Takes away a reply that may still be pending; the outcome is not examined.
    void drainReply();
    // hid_write of the whole outputBuffer: bytes written, or -1.
    int sendPacket();
    // hid_read_timeout of up to 64 bytes into `reply`: bytes read, 0 on time-out, -1 on failure.
    // `reply` is PacketFromPC.Contents.data() or inputBuffer.data().
    int receivePacket(std::uint8_t* reply, int timeoutMs);
    // Closes the device if open (hid_close). Safe to call twice.
    void closeDevice();
    bool isOpen() const { return device_ != nullptr; }

    Packet outputBuffer{};
    USB_HID_BOOTLOADER_COMMAND PacketFromPC{};
    Packet inputBuffer{};

    std::FILE* out;
    std::FILE* err;

  private:
    hid_device_info* device_info_ = nullptr;
    hid_device_* device_ = nullptr;
};

// Counts failed reads in a row. note() takes a read result; after a failure it pauses
// FAILED_READ_PAUSE_US and returns true once FAILED_READ_LIMIT failures have come in a row.
class FailedReads {
  public:
    bool note(int readResult);
    unsigned inARow() const { return count_; }

  private:
    unsigned count_ = 0;
};

// The report written (to the error stream) when the device stopped answering (FAILED_READ_LIMIT
// failed reads in a row).
void reportDeviceGone(std::FILE* err);

} // namespace devlink
