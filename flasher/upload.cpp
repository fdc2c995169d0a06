// SPDX-License-Identifier: GPL-2.0-or-later
// The page upload of kvflash: CMD_WRITE_PART part by part, its reply test, pauses and progress.
#include "upload.h"

#include <algorithm>
#include <limits>

#include "interrupt.h"
#include "platform.h"

namespace flasher {

namespace {

constexpr std::uint32_t PAGE_BYTES = static_cast<std::uint32_t>(devlink::PAGE_SIZE);
constexpr std::uint32_t PART_BYTES = static_cast<std::uint32_t>(devlink::PART_SIZE);
constexpr std::uint32_t PARTS = static_cast<std::uint32_t>(devlink::PARTS_PER_PAGE);
constexpr std::size_t REPLY_PART_CRC = 36;
constexpr std::size_t REPLY_PAGE_CRC = 37;

struct UploadState {
    std::uint16_t page = FIRMWARE_FIRST_PAGE;
    std::uint16_t part = 0;
    std::uint8_t CRC = 0;
    std::uint8_t pageCRC = 0;
    std::uint32_t file_address = 0;
    bool exit_flag = true;
    bool skip_dummy_firmware = false;
};

void protocolPause() {
    platform::sleepMicroseconds(PART_PAUSE_US);
}

std::uint32_t fileAddress(std::uint16_t page, std::uint16_t part) {
    return ((static_cast<std::uint32_t>(page) - FIRMWARE_FIRST_PAGE) * PARTS + part) * PART_BYTES;
}

// Reads the image part by part into `readed`; bytes the file does not have keep the previous
// part's values. The file is positioned only when it is not already where the part starts: parts
// mostly follow each other, and a seek would cost a system call for every part.
class PartReader {
  public:
    explicit PartReader(std::FILE* firmware) : firmware_(firmware) {
        if (std::fseek(firmware_, 0, SEEK_END) != 0) return;
        const long end = std::ftell(firmware_);
        sizeKnown_ = end >= 0;
        size_ = static_cast<std::uint64_t>(end);
    }

    // True for a part that starts past the end of the file: no byte of the image belongs there.
    // (A part that starts right at the end is still sent, repeating the previous data.)
    bool startsPastEnd(std::uint32_t file_address) const {
        return sizeKnown_ && file_address > size_;
    }

    // False when fewer than 32 bytes came: that part is the last one sent.
    bool read(std::uint32_t file_address, PartData& readed) {
        if (!positionKnown_ || position_ != file_address) {
            // An offset past what fseek can express lies past the end of any image it could open.
            positionKnown_ =
                file_address <= static_cast<std::uint32_t>(std::numeric_limits<long>::max()) &&
                std::fseek(firmware_, static_cast<long>(file_address), SEEK_SET) == 0;
            if (!positionKnown_) return false;
            position_ = file_address;
        }
        const std::size_t bytes_read = std::fread(readed.data(), 1, readed.size(), firmware_);
        position_ += static_cast<std::uint32_t>(bytes_read);
        return bytes_read == readed.size();
    }

  private:
    std::FILE* firmware_;
    std::uint32_t position_ = 0;
    bool positionKnown_ = false; // the image may be positioned anywhere when the upload starts
    std::uint64_t size_ = 0;
    bool sizeKnown_ = false; // a pipe has no size
};

bool echoMatches(const devlink::Packet& reply, const UploadState& state) {
    return reply[0] == devlink::CMD_WRITE_PART && reply[1] == (state.page >> 8) &&
           reply[2] == (state.page & 0xFF) && reply[3] == state.part;
}

bool replyMatches(const devlink::Packet& reply, const UploadState& state) {
    return echoMatches(reply, state) && reply[REPLY_PART_CRC] == state.CRC &&
           reply[REPLY_PAGE_CRC] == state.pageCRC;
}

// Why a reply was not accepted. A missing reply leaves the previous one in the buffer, which is
// judged (and fails) like a wrong one; the read's result tells the two apart.
UploadEnd failureOf(int got, const devlink::Packet& reply, const UploadState& state) {
    if (got <= 0) return UploadEnd::NoReply;
    return echoMatches(reply, state) ? UploadEnd::WrongCrc : UploadEnd::WrongEcho;
}

// The part was stored: move to the next one, and on a completed page to the next page (or the
// graphics area) with a progress line.
void onAcknowledged(devlink::Connection& link, UploadState& state, std::uint32_t all_size,
                    std::uint32_t firmware_size) {
    protocolPause();
    const bool pageComplete = link.PacketFromPC.Contents[3] == LAST_PART;
    ++state.part;
    if (pageComplete) {
        state.page = pageAfterCompleted(state.page, firmware_size, state.skip_dummy_firmware);
        state.pageCRC = 0;
        const std::string line =
            progressLine(state.page, state.file_address, all_size, firmware_size);
        std::fputs(line.c_str(), link.out);
        std::fflush(link.out);
        state.part = 0;
        protocolPause();
    }
    protocolPause();
}

void reportFailure(devlink::Connection& link, const UploadState& state) {
    std::fprintf(link.out,
                 "Transmission fail Page:%d, Part:%u, calculatedCRC:%02X, ReceivedCRC:%02X\r\n\r\n",
                 static_cast<int>(state.page), static_cast<unsigned>(state.part),
                 static_cast<unsigned>(state.CRC),
                 static_cast<unsigned>(link.PacketFromPC.Contents[REPLY_PART_CRC]));
}

// Tells the device the upload is over: the current page, part 127, and the last part's data still
// in the request. Its reply is taken away and not judged.
void sendClosingPacket(devlink::Connection& link, std::uint16_t page) {
    protocolPause();
    link.outputBuffer[0] = 0;
    link.outputBuffer[1] = devlink::CMD_WRITE_PART;
    devlink::putBE16(link.outputBuffer.data(), 2, page);
    link.outputBuffer[4] = static_cast<std::uint8_t>(LAST_PART);
    (void)link.sendPacket();
    protocolPause();
    (void)link.receivePacket(link.PacketFromPC.Contents.data(), WRITE_TIMEOUT_MS);
}

} // namespace

bool firmwareAreaDone(std::uint16_t page, std::uint32_t firmware_size) {
    const std::uint32_t sent =
        (static_cast<std::uint32_t>(page) - FIRMWARE_FIRST_PAGE) * PAGE_BYTES;
    return sent > firmware_size + PAGE_BYTES;
}

std::uint16_t pageAfterCompleted(std::uint16_t completedPage, std::uint32_t firmware_size,
                                 bool& skip_dummy_firmware) {
    const auto next = static_cast<std::uint16_t>(completedPage + 1u);
    if (!skip_dummy_firmware && firmwareAreaDone(next, firmware_size)) {
        skip_dummy_firmware = true;
        return GRAPHICS_FIRST_PAGE;
    }
    return next;
}

std::uint32_t allPercent(std::uint32_t file_address, std::uint32_t all_size) {
    return all_size == 0 ? 0 : file_address * 100u / all_size;
}

std::uint32_t firmwarePercent(std::uint32_t file_address, std::uint32_t firmware_size) {
    return firmware_size == 0 ? 0 : file_address * 100u / firmware_size + 1u;
}

std::string progressLine(std::uint16_t page, std::uint32_t file_address, std::uint32_t all_size,
                         std::uint32_t firmware_size) {
    // The console line counts with %d; the unsigned percentages are shown the way %d shows them.
    const int all = static_cast<int>(allPercent(file_address, all_size));
    char line[128];
    if (page <= FIRMWARE_LAST_PAGE) {
        std::snprintf(line, sizeof line,
                      "Sending main functionality %d / 128 (All: %d %%, Firmware: %d %%)\r",
                      page - FIRMWARE_FIRST_PAGE, all,
                      static_cast<int>(firmwarePercent(file_address, firmware_size)));
    } else {
        std::snprintf(line, sizeof line,
                      "Puting bug's into firmware %d / 512 (All: %d %%)                   \r",
                      page - GRAPHICS_FIRST_PAGE, all);
    }
    return line;
}

std::uint8_t prepareWritePart(devlink::Packet& request, std::uint16_t page, std::uint16_t part,
                              const PartData& data, std::uint8_t& pageCRC) {
    request[0] = 0;
    request[1] = devlink::CMD_WRITE_PART;
    devlink::putBE16(request.data(), 2, page);
    request[4] = static_cast<std::uint8_t>(part);
    std::copy(data.begin(), data.end(), request.begin() + 5);
    std::uint8_t CRC = 0;
    for (const std::uint8_t byte : data) {
        CRC = devlink::CRC8(byte, CRC);
        pageCRC = devlink::CRC8(byte, pageCRC);
    }
    return CRC;
}

UploadResult uploadImage(devlink::Connection& link, std::FILE* firmware, std::uint32_t all_size,
                         std::uint32_t firmware_size) {
    const platform::InterruptGuard ctrlC;
    UploadState state;
    UploadResult result;
    PartReader reader(firmware);
    PartData readed{};
    // A reply the device may still owe from before is taken away unjudged.
    (void)link.receivePacket(link.PacketFromPC.Contents.data(), WRITE_TIMEOUT_MS);
    while (state.exit_flag) {
        state.file_address = fileAddress(state.page, state.part);
        // The jump to the graphics area of an image that has none (or the firmware area's end
        // reached past the file's end): the image is sent, and the closing packet follows as
        // after any end of the file. Sending the part would write stale data into the graphics.
        if (reader.startsPastEnd(state.file_address)) break;
        if (!reader.read(state.file_address, readed)) state.exit_flag = false;
        state.CRC =
            prepareWritePart(link.outputBuffer, state.page, state.part, readed, state.pageCRC);
        (void)link.sendPacket();
        // A reply that ends before byte 37 leaves an earlier reply's CRCs behind it: no answer.
        const int got = link.receivePacket(link.PacketFromPC.Contents.data(), WRITE_TIMEOUT_MS);
        result.page = state.page;
        result.part = state.part;
        if (got > static_cast<int>(REPLY_PAGE_CRC) &&
            replyMatches(link.PacketFromPC.Contents, state)) {
            onAcknowledged(link, state, all_size, firmware_size);
        } else {
            result.end = failureOf(got, link.PacketFromPC.Contents, state);
            reportFailure(link, state);
            state.exit_flag = false;
        }
        // Ctrl-C: the part in flight has had its reply; not even the closing packet follows.
        if (platform::interruptRequested()) {
            result.end = UploadEnd::Interrupted;
            return result;
        }
    }
    sendClosingPacket(link, state.page);
    return result;
}

} // namespace flasher
