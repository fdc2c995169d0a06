// The log download: one CMD_READ_PART exchange per 32-byte part, echo and CRC-8 checked, pages
// appended to raw.dat as they complete.
#include "download.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "platform.h"

namespace logs {

namespace {

using devlink::Connection;

// raw.dat, open for writing; closed on every path, with the outcome of the close checked.
class RawFile {
  public:
    explicit RawFile(const char* path) : file_(std::fopen(path, "wb")), error_(errno) {}
    ~RawFile() {
        if (file_ != nullptr) std::fclose(file_);
    }
    RawFile(const RawFile&) = delete;
    RawFile& operator=(const RawFile&) = delete;
    bool isOpen() const { return file_ != nullptr; }
    int error() const { return error_; }
    bool append(const std::uint8_t* page, std::size_t size) {
        errno = 0;
        if (std::fwrite(page, 1, size, file_) == size && std::fflush(file_) == 0) return true;
        error_ = errno != 0 ? errno : EIO;
        return false;
    }
    bool close() {
        errno = 0;
        const bool closed = std::fclose(file_) == 0;
        file_ = nullptr;
        if (!closed) error_ = errno != 0 ? errno : EIO;
        return closed;
    }

  private:
    std::FILE* file_;
    int error_;
};

enum class Reply { Accepted, Missing, Failed, WrongEcho, BadCrc };

// Reply bytes 0 to 36: echo, CRC-8 and the part's 32 bytes.
constexpr int REPLY_PART_END = 5 + static_cast<int>(devlink::PART_SIZE);

Reply exchangePart(Connection& link, std::uint16_t address, std::uint8_t part) {
    auto& request = link.outputBuffer;
    request[0] = 0;
    request[1] = devlink::CMD_READ_PART;
    devlink::putBE16(request.data(), 2, address);
    request[4] = part;
    link.sendPacket();
    const auto& reply = link.inputBuffer;
    const int got = link.receivePacket(link.inputBuffer.data(), READ_PART_TIMEOUT_MS);
    if (got == 0) return Reply::Missing;
    if (got < 0) return Reply::Failed;
    // A reply that ends before the part's last byte leaves an earlier reply's bytes behind it in
    // the buffer, which could pass for this part: it is no answer to this request.
    if (got < REPLY_PART_END) return Reply::WrongEcho;
    if (reply[0] != devlink::CMD_READ_PART || devlink::getBE16(reply.data(), 1) != address ||
        reply[3] != part)
        return Reply::WrongEcho;
    const std::uint8_t crc = devlink::crc8Over(reply.data() + 5, devlink::PART_SIZE);
    if (crc != reply[4]) {
        std::fputs("CRC error\r\n", link.out);
        std::fprintf(link.out, "calculatedCRC=%02X, received %02X\r\n", unsigned{crc},
                     unsigned{reply[4]});
        return Reply::BadCrc;
    }
    return Reply::Accepted;
}

void reportWriteError(Connection& link, const char* path, int error) {
    std::fprintf(link.err, "\nCannot write %s: %s\n", path, platform::errorText(error).c_str());
}

// Counts the ways the logger can fail to give a usable reply, and says when to stop asking.
class Patience {
  public:
    std::optional<DownloadResult> judge(Reply reply) {
        if (reply == Reply::Failed) {
            if (failures_.note(-1)) return DownloadResult::DeviceGone;
            return std::nullopt;
        }
        failures_.note(reply == Reply::Missing ? 0 : 1);
        if (reply == Reply::Missing) {
            if (++silent_ >= SILENT_REQUEST_LIMIT) return DownloadResult::DeviceSilent;
            return std::nullopt;
        }
        silent_ = 0;
        if (reply == Reply::WrongEcho) {
            if (++wrong_ >= WRONG_REPLY_LIMIT) return DownloadResult::DeviceConfused;
            return std::nullopt;
        }
        wrong_ = 0;
        if (reply == Reply::BadCrc && ++error_ > CRC_ERROR_BUDGET)
            return DownloadResult::CrcBudgetSpent;
        return std::nullopt;
    }

  private:
    devlink::FailedReads failures_;
    unsigned silent_ = 0;
    unsigned wrong_ = 0;
    unsigned error_ = 0; // CRC errors of the whole download, never reset
};

// A page is complete: progress text, the page appended to raw.dat, and from now on request byte 5
// tells the logger that a page has been stored.
bool storePage(Connection& link, RawFile& output,
               const std::array<std::uint8_t, devlink::PAGE_SIZE>& buff, unsigned pagesStored,
               const char* path) {
    std::fprintf(link.out, "\rDownloading data : %3d%c", int{downloadPercent(pagesStored)}, '%');
    std::fflush(link.out);
    if (!output.append(buff.data(), buff.size())) {
        reportWriteError(link, path, output.error());
        return false;
    }
    link.outputBuffer[5] = 1;
    return true;
}

DownloadResult giveUp(Connection& link, DownloadResult why, unsigned pagesStored) {
    switch (why) {
    case DownloadResult::DeviceSilent:
        std::fprintf(link.err,
                     "\nThe logger stopped answering: no reply to %u requests in a row.\n",
                     SILENT_REQUEST_LIMIT);
        break;
    case DownloadResult::DeviceGone:
        devlink::reportDeviceGone(link.err);
        break;
    case DownloadResult::DeviceConfused:
        std::fprintf(link.err,
                     "\nThe logger sent %u replies in a row that do not match the request.\n",
                     WRONG_REPLY_LIMIT);
        break;
    default:
        break;
    }
    std::fprintf(link.err, "Download incomplete: %u of 256 pages (%u bytes) saved in raw.dat.\n",
                 pagesStored, pagesStored * unsigned{devlink::PAGE_SIZE});
    std::fflush(link.err);
    return why;
}

} // namespace

std::uint8_t downloadPercent(unsigned pagesStored) {
    return static_cast<std::uint8_t>(pagesStored * 100U / (stop_address - start_address));
}

DownloadResult downloadLog(Connection& link, const char* path) {
    std::uint16_t address = start_address;
    std::uint8_t part = 0;
    std::array<std::uint8_t, devlink::PAGE_SIZE> buff{};
    RawFile output(path);
    if (!output.isOpen()) {
        std::fprintf(link.err, "Cannot create %s: %s\n", path,
                     platform::errorText(output.error()).c_str());
        return DownloadResult::FileError;
    }
    Patience patience;
    while (address <= stop_address) {
        const Reply reply = exchangePart(link, address, part);
        const unsigned stored = address - start_address;
        if (reply == Reply::Missing || reply == Reply::Failed) {
            std::fputc('.', link.out);
            std::fflush(link.out);
        }
        if (const auto end = patience.judge(reply)) {
            // The CRC budget's end is told by the CRC texts alone.
            return *end == DownloadResult::CrcBudgetSpent ? *end : giveUp(link, *end, stored);
        }
        if (reply != Reply::Accepted) continue;
        std::memcpy(buff.data() + devlink::PART_SIZE * part, link.inputBuffer.data() + 5,
                    devlink::PART_SIZE);
        if (part < devlink::PARTS_PER_PAGE - 1) {
            ++part;
            continue;
        }
        part = 0;
        ++address;
        if (!storePage(link, output, buff, stored + 1, path))
            return giveUp(link, DownloadResult::FileError, stored);
    }
    if (!output.close()) {
        reportWriteError(link, path, output.error());
        return DownloadResult::FileError;
    }
    return DownloadResult::Complete;
}

} // namespace logs
