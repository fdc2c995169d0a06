// SPDX-License-Identifier: GPL-2.0-or-later
// The log download: one CMD_READ_PART exchange per 32-byte part, echo and CRC-8 checked, pages
// appended to raw.dat.part as they complete, raw.dat replaced only by a whole, synced log.
#include "download.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "files.h"
#include "interrupt.h"
#include "platform.h"

namespace logs {

namespace {

using devlink::Connection;

constexpr unsigned LOG_PAGES = stop_address - start_address + 1;

int lastError() {
    return errno != 0 ? errno : EIO;
}

// raw.dat.part, open for writing; it only ever holds whole pages. Closed on every path.
class PartFile {
  public:
    explicit PartFile(const char* path) : file_(std::fopen(path, "wb")), error_(errno) {}
    ~PartFile() {
        if (file_ != nullptr) std::fclose(file_);
    }
    PartFile(const PartFile&) = delete;
    PartFile& operator=(const PartFile&) = delete;
    bool isOpen() const { return file_ != nullptr; }
    int error() const { return error_; }
    const std::string& note() const { return note_; }

    // Appends one page and flushes it; a write that fails is cut back to the last whole page.
    bool append(const std::uint8_t* page, std::size_t size, unsigned pagesBefore) {
        errno = 0;
        if (std::fwrite(page, 1, size, file_) == size && std::fflush(file_) == 0) return true;
        error_ = lastError();
        const int cut = platform::truncateFile(file_, std::uint64_t{pagesBefore} * size);
        if (cut != 0)
            note_ =
                " (a part of the next page could not be cut off: " + platform::errorText(cut) + ")";
        return false;
    }
    // Flushes, syncs and closes the file.
    bool finish() {
        error_ = platform::syncFile(file_);
        errno = 0;
        const bool closed = std::fclose(file_) == 0;
        file_ = nullptr;
        if (error_ == 0 && !closed) error_ = lastError();
        return error_ == 0;
    }

  private:
    std::FILE* file_;
    int error_;
    std::string note_;
};

enum class Reply { Accepted, Missing, Failed, WrongEcho, Stale, BadCrc };

// Reply bytes 0 to 36: echo, CRC-8 and the part's 32 bytes.
constexpr int REPLY_PART_END = 5 + static_cast<int>(devlink::PART_SIZE);

bool echoes(const devlink::Packet& reply, std::uint16_t address, std::uint8_t part) {
    return reply[0] == devlink::CMD_READ_PART && devlink::getBE16(reply.data(), 1) == address &&
           reply[3] == part;
}

// The part asked for right before (address, part): the one a late reply may still answer.
bool echoesPrevious(const devlink::Packet& reply, std::uint16_t address, std::uint8_t part) {
    if (part > 0) return echoes(reply, address, static_cast<std::uint8_t>(part - 1));
    return address > start_address &&
           echoes(reply, static_cast<std::uint16_t>(address - 1),
                  static_cast<std::uint8_t>(devlink::PARTS_PER_PAGE - 1));
}

void sendRequest(Connection& link, std::uint16_t address, std::uint8_t part) {
    auto& request = link.outputBuffer;
    request[0] = 0;
    request[1] = devlink::CMD_READ_PART;
    devlink::putBE16(request.data(), 2, address);
    request[4] = part;
    link.sendPacket();
}

Reply readReply(Connection& link, std::uint16_t address, std::uint8_t part) {
    const auto& reply = link.inputBuffer;
    const int got = link.receivePacket(link.inputBuffer.data(), READ_PART_TIMEOUT_MS);
    if (got == 0) return Reply::Missing;
    if (got < 0) return Reply::Failed;
    // A reply that ends before the part's last byte leaves an earlier reply's bytes behind it in
    // the buffer, which could pass for this part: it is no answer to this request.
    if (got < REPLY_PART_END) return Reply::WrongEcho;
    if (!echoes(reply, address, part))
        return echoesPrevious(reply, address, part) ? Reply::Stale : Reply::WrongEcho;
    const std::uint8_t crc = devlink::crc8Over(reply.data() + 5, devlink::PART_SIZE);
    if (crc != reply[4]) {
        std::fputs("CRC error\r\n", link.out);
        std::fprintf(link.out, "calculatedCRC=%02X, received %02X\r\n", unsigned{crc},
                     unsigned{reply[4]});
        return Reply::BadCrc;
    }
    return Reply::Accepted;
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
        // A stale reply is a wrong one too: a logger that sends nothing else must not hold the
        // download for ever.
        if (reply == Reply::WrongEcho || reply == Reply::Stale) {
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

std::string reasonOf(DownloadResult why, const char* partPath, const PartFile& output) {
    switch (why) {
    case DownloadResult::CrcBudgetSpent:
        return "the logger sent " + std::to_string(CRC_ERROR_BUDGET + 1) +
               " parts with a wrong CRC-8";
    case DownloadResult::DeviceSilent:
        return "the logger stopped answering (no reply to " + std::to_string(SILENT_REQUEST_LIMIT) +
               " requests in a row)";
    case DownloadResult::DeviceGone:
        return "the logger stopped answering (" + std::to_string(devlink::FAILED_READ_LIMIT) +
               " failed reads in a row): check that it is still plugged in and switched on";
    case DownloadResult::DeviceConfused:
        return "the logger sent " + std::to_string(WRONG_REPLY_LIMIT) +
               " replies in a row that do not match the request";
    case DownloadResult::Interrupted:
        return "interrupted (Ctrl-C)";
    case DownloadResult::FileError:
        return std::string("cannot write ") + partPath + ": " +
               platform::errorText(output.error()) + output.note();
    case DownloadResult::Complete:
        break;
    }
    return {};
}

// The one line that ends a failed download on the error stream.
DownloadResult giveUp(Connection& link, DownloadResult why, unsigned pagesStored,
                      const PartFile& output, const char* path, const char* partPath) {
    std::fflush(link.out);
    std::fprintf(link.err,
                 "\nkvlogs: %s; download incomplete: %s holds %u of %u pages (%u bytes); %s was "
                 "left untouched\n",
                 reasonOf(why, partPath, output).c_str(), partPath, pagesStored, LOG_PAGES,
                 pagesStored * unsigned{devlink::PAGE_SIZE}, path);
    std::fflush(link.err);
    return why;
}

// A page is complete: progress text, the page appended to raw.dat.part, and from now on the
// request tells the logger that a page has been stored. False when the page could not be written.
bool storePage(Connection& link, PartFile& output,
               const std::array<std::uint8_t, devlink::PAGE_SIZE>& buff, unsigned pagesBefore) {
    std::fprintf(link.out, "\rDownloading data : %3d%c", int{downloadPercent(pagesBefore + 1)},
                 '%');
    std::fflush(link.out);
    if (!output.append(buff.data(), buff.size(), pagesBefore)) return false;
    link.outputBuffer[5] = 1;
    return true;
}

// All pages are in raw.dat.part: sync it and put it in raw.dat's place.
DownloadResult replaceLog(Connection& link, PartFile& output, const char* path,
                          const char* partPath) {
    int error = output.finish() ? 0 : output.error();
    if (error == 0) error = platform::replaceFile(partPath, path);
    if (error == 0) return DownloadResult::Complete;
    std::fflush(link.out);
    std::fprintf(link.err,
                 "\nkvlogs: cannot replace %s with %s: %s; %s holds all %u pages; %s was left "
                 "untouched\n",
                 path, partPath, platform::errorText(error).c_str(), partPath, LOG_PAGES, path);
    std::fflush(link.err);
    return DownloadResult::FileError;
}

} // namespace

std::uint8_t downloadPercent(unsigned pagesStored) {
    return static_cast<std::uint8_t>(pagesStored * 100U / (stop_address - start_address));
}

DownloadResult downloadLog(Connection& link, const char* path, const char* partPath) {
    std::uint16_t address = start_address;
    std::uint8_t part = 0;
    std::array<std::uint8_t, devlink::PAGE_SIZE> buff{};
    PartFile output(partPath);
    if (!output.isOpen()) {
        std::fprintf(link.err, "kvlogs: cannot create %s: %s; %s was left untouched\n", partPath,
                     platform::errorText(output.error()).c_str(), path);
        return DownloadResult::FileError;
    }
    const platform::InterruptGuard ctrlC;
    Patience patience;
    bool send = true;
    while (address <= stop_address) {
        if (platform::interruptRequested())
            return giveUp(link, DownloadResult::Interrupted, address - start_address, output, path,
                          partPath);
        if (send) sendRequest(link, address, part);
        const Reply reply = readReply(link, address, part);
        const unsigned stored = address - start_address;
        // After a stale reply the answer to this request may be next in the queue: read again.
        send = reply != Reply::Stale;
        if (reply == Reply::Missing || reply == Reply::Failed) {
            std::fputc('.', link.out);
            std::fflush(link.out);
        }
        if (const auto end = patience.judge(reply))
            return giveUp(link, *end, stored, output, path, partPath);
        if (reply == Reply::Accepted) {
            std::memcpy(buff.data() + devlink::PART_SIZE * part, link.inputBuffer.data() + 5,
                        devlink::PART_SIZE);
            if (part < devlink::PARTS_PER_PAGE - 1) {
                ++part;
                continue;
            }
            part = 0;
            ++address;
            if (!storePage(link, output, buff, stored))
                return giveUp(link, DownloadResult::FileError, stored, output, path, partPath);
        }
    }
    return replaceLog(link, output, path, partPath);
}

} // namespace logs
