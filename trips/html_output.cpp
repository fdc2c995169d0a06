// SPDX-License-Identifier: GPL-2.0-or-later
// Writing the report file safely, and its escaping and number texts.
#include "html_output.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <system_error>

#include "files.h"
#include "platform.h"

namespace trips {

void appendNumber(std::string& out, double value, int decimals) {
    if (!std::isfinite(value)) value = 0;
    char text[64];
    auto result =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    if (result.ec != std::errc{}) {
        out += '0';
        return;
    }
    char* end = result.ptr;
    if (decimals > 0) {
        while (end[-1] == '0')
            --end;
        if (end[-1] == '.') --end;
    }
    std::string_view digits(text, static_cast<std::size_t>(end - text));
    if (digits == "-0") digits = "0";
    out += digits;
}

void appendEscaped(std::string& out, std::string_view text) {
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
        }
    }
}

void appendHrefPath(std::string& out, std::string_view path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        const bool plain = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                           (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' ||
                           byte == '_' || byte == '~' || byte == '/';
        if (plain) {
            out += c;
        } else if (byte == '\\') {
            out += '/'; // a Windows separator in a relative name
        } else {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        }
    }
}

OutputFile::~OutputFile() {
    discard();
}

bool OutputFile::open(std::string finalPath) {
    discard();
    finalPath_ = std::move(finalPath);
    tempPath_ = finalPath_ + ".tmp";
    error_.clear();
    buffer_.clear();
    buffer_.reserve(kBlock + 16 * 1024);
    file_ = std::fopen(tempPath_.c_str(), "wb");
    if (file_ == nullptr) {
        fail(tempPath_, errno);
        return false;
    }
    return true;
}

void OutputFile::flush() {
    if (file_ != nullptr && error_.empty() && !buffer_.empty() &&
        std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size()) {
        fail(tempPath_, errno);
    }
    buffer_.clear();
}

void OutputFile::fail(const std::string& path, int error) {
    if (!error_.empty()) return; // the first failure is the one to report
    error_ = "cannot write " + path + ": " + platform::errorText(error != 0 ? error : EIO);
}

bool OutputFile::commit() {
    if (file_ == nullptr) {
        if (error_.empty()) error_ = "cannot write " + finalPath_ + ": not open";
        return false;
    }
    flush();
    std::FILE* file = file_;
    file_ = nullptr;
    if (std::fflush(file) != 0) fail(tempPath_, errno);
    if (std::fclose(file) != 0) fail(tempPath_, errno);
    if (error_.empty()) {
        // Replaces an older index.html in one step, on Windows too.
        const int error = platform::replaceFile(tempPath_.c_str(), finalPath_.c_str());
        if (error == 0) {
            tempPath_.clear();
            return true;
        }
        fail(finalPath_, error);
    }
    std::error_code ignored;
    std::filesystem::remove(tempPath_, ignored);
    tempPath_.clear();
    return false;
}

void OutputFile::discard() {
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (!tempPath_.empty()) {
        std::error_code ignored;
        std::filesystem::remove(tempPath_, ignored);
        tempPath_.clear();
    }
}

} // namespace trips
