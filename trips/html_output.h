// SPDX-License-Identifier: GPL-2.0-or-later
// The report's output file, written under a temporary name and renamed into place when complete,
// and the small text helpers every part of the page uses (escaping, locale-free numbers).
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace trips {

// Appends `value` with at most `decimals` decimals (trailing zeros and a bare point dropped), a
// point as decimal separator whatever the locale; NaN and infinities are written as 0.
void appendNumber(std::string& out, double value, int decimals = 1);

// Appends `text` with &, <, >, " and ' replaced by character references.
void appendEscaped(std::string& out, std::string_view text);

// Appends a relative file name for an href: every byte outside the URL's unreserved characters
// (and '/') percent-encoded, so no name can turn into a URL with a scheme or a query.
void appendHrefPath(std::string& out, std::string_view path);

// One output file: text collects in a buffer and goes to `<final>.tmp` in blocks; commit() closes
// it and renames it to the final name. A file that is not committed is removed by the destructor,
// so a failed or abandoned report never leaves a truncated file under the final name.
class OutputFile {
  public:
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();

    // Creates the temporary file beside `finalPath`. False on failure; error() then says which
    // file and why.
    bool open(std::string finalPath);
    // The text buffer; call flushIfFull() after adding to it.
    std::string& text() { return buffer_; }
    void flushIfFull() {
        if (buffer_.size() >= kBlock) flush();
    }
    // Writes what is pending, closes and renames. False when any write, the close or the rename
    // failed; the temporary file is then removed and error() says why.
    bool commit();
    // Drops the temporary file (nothing to do when it was committed or never opened).
    void discard();
    const std::string& error() const { return error_; }

  private:
    static constexpr std::size_t kBlock = 64 * 1024;
    void flush();
    void fail(const std::string& path, int error);

    std::FILE* file_ = nullptr;
    std::string finalPath_;
    std::string tempPath_;
    std::string buffer_;
    std::string error_;
};

} // namespace trips
