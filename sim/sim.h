// SPDX-License-Identifier: GPL-2.0-or-later
// The emulated Korvane plus logger that sits behind hidapi's C API in test builds and the demo.
// Tests drive it through this interface; the -sim executables through a scenario file named by
// the environment variable KV_SIM_SCENARIO (see scenario_file.h).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace sim {

using Packet = std::array<std::uint8_t, 64>;

inline constexpr std::uint16_t LOG_FIRST_PAGE = 256;
inline constexpr std::uint16_t LOG_LAST_PAGE = 511;
inline constexpr std::size_t LOG_SIZE = 256u * 4096u;
inline constexpr std::uint16_t FLASH_FIRST_PAGE = 3454;
inline constexpr std::uint16_t GRAPHICS_FIRST_PAGE = 3582;

// What goes wrong at one exchange. Exchanges are numbered from 1 in the order of hid_write calls
// (a read without a write belongs to the exchange of the last write).
enum class FaultKind {
    LostReply,    // the device does not answer: the read after this write times out
    FailedRead,   // the read after this write fails (-1)
    WriteFails,   // hid_write returns -1 and the device receives nothing
    WrongCommand, // reply byte 0 is changed (XOR 0x80)
    WrongPage,    // the echoed page (low byte) is changed
    WrongPart,    // the echoed part is one less (modulo 256)
    BadDataCrc,   // CMD_READ_PART: byte 4 is changed; CMD_WRITE_PART: byte 36 is changed
    BadPageCrc,   // CMD_WRITE_PART: byte 37 is changed
    LateReply,    // the reply is held back: this read times out and the next read delivers it
                  // before the reply to the next request
    Interrupt,    // the host process gets SIGINT (Ctrl-C) right after this request is written,
                  // as if the user pressed Ctrl-C while the exchange was in flight
};
// WrongPage adds 1 to the echoed low byte; BadDataCrc and BadPageCrc flip every bit of their byte.
// WrongPage, WrongPart, BadDataCrc and BadPageCrc change only replies to CMD_READ_PART and
// CMD_WRITE_PART; a fault at an exchange without a reply changes nothing but FailedRead and
// WriteFails, which fail the calls as described.

struct Fault {
    std::uint32_t exchange = 1; // first exchange affected
    FaultKind kind = FaultKind::LostReply;
    std::uint32_t count = 1; // number of consecutive exchanges affected
};

struct Scenario {
    unsigned devices = 1;   // matching devices listed by hid_enumerate (0, 1 or 2), with serial
                            // numbers L"KV0001" and L"KV0002"; both are views of the one logger
    bool initFails = false; // hid_init returns -1
    bool openFails = false; // hid_open returns null; hid_error(NULL) says why

    // CMD_QUERY reply fields.
    std::uint16_t battery = 3987;
    std::array<std::uint8_t, 5> mac{0x4B, 0x56, 0x02, 0x1F, 0x3A};
    std::array<std::uint8_t, 2> hw{2, 8};
    std::array<std::uint8_t, 2> sw{1, 14};
    std::uint32_t globalTime = 512733;

    std::vector<Fault> faults;
    std::optional<std::uint32_t> unpluggedFrom; // from this exchange on writes and reads fail (-1)
    std::optional<std::uint32_t> silentFrom;    // from this exchange on every read times out
    // A read that times out takes the time it was given, as on a real logger. Off for tests, which
    // never wait for a clock; on in the -sim programs unless their scenario asks for instant ones.
    bool realTimeouts = false;

    // Log memory, pages 256..511 (LOG_SIZE bytes). Empty: the synthetic demo log. A shorter log is
    // padded with erased bytes 0xFF, a longer one cut. CMD_READ_PART outside the log memory (pages
    // outside 256..511, parts above 127) reads erased bytes 0xFF.
    std::vector<std::uint8_t> log;

    // Overrides of the stored-image checks; without them the device judges what it stored.
    std::optional<Packet> checkFirmwareReply;  // whole reply to CMD_CHECK_FIRMWARE
    std::optional<Packet> checkIntegrityReply; // whole reply to CMD_CHECK_INTEGRITY
};

// Starts a new device (and forgets the previous one) from `scenario`. Without a call, the first
// hid_* call starts a device from the scenario file named by KV_SIM_SCENARIO, or a healthy one.
void reset(const Scenario& scenario);

// What the device received, in order: each hid_write's bytes as written (byte 0 is the report
// number), whether or not the device acted on it. Only the first REQUEST_RECORD_LIMIT requests are
// kept, so that a host asking a silent logger without end does not fill the memory; counters()
// counts every write.
inline constexpr std::size_t REQUEST_RECORD_LIMIT = 1u << 18;
const std::vector<std::vector<std::uint8_t>>& requests();

// Calls made on the hidapi surface, for assertions.
struct Counters {
    unsigned init = 0, exit = 0, enumerate = 0, open = 0, close = 0, writes = 0, reads = 0;
    unsigned openDevices = 0;              // handles open right now
    unsigned liveEnumerations = 0;         // lists handed out and not freed
    std::vector<std::wstring> openSerials; // serial passed to each hid_open ("" for none)
};
const Counters& counters();

// The device's flash as written by CMD_WRITE_PART: page -> 4096 bytes (0xFF where never written).
const std::map<std::uint16_t, std::array<std::uint8_t, 4096>>& flash();
// Number of CMD_WRITE_PART requests stored for each page (a page sent twice counts twice).
const std::map<std::uint16_t, unsigned>& pageWrites();
// True once the device received CMD_FINISH in report byte 0 (request byte 1).
bool finishReceived();

// The log memory the device serves (LOG_SIZE bytes).
const std::vector<std::uint8_t>& logMemory();

// The synthetic demo log: a few trips through a city with pauses of more than ten minutes between
// them and some records that are not point records; the rest of the memory erased (0xFF).
std::vector<std::uint8_t> demoLog();

} // namespace sim
