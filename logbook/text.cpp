// SPDX-License-Identifier: GPL-2.0-or-later
// Exact, locale-free "%d", "%f" and strftime-style texts, and the block-writing text buffer.
#include "text.h"

#include <bit>
#include <cerrno>
#include <charconv>
#include <cstring>

namespace logbook {

namespace {

constexpr std::uint64_t kMicro = 1000000;

constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233"
    "34353637383940414243444546474849505152535455565758596061626364656667"
    "6869707172737475767778798081828384858687888990919293949596979899";

// The two digits of `value` % 100.
char* pair(char* out, std::uint64_t value) {
    std::memcpy(out, kDigitPairs + 2 * (value % 100), 2);
    return out + 2;
}

char* twoDigits(char* out, int value) {
    return pair(out, static_cast<std::uint64_t>(value < 0 ? -value : value));
}

// The decimal digits of `value`, without leading zeros, written from the last pair backwards.
char* formatUnsigned(char* out, std::uint64_t value) {
    if (value < 10) {
        *out = static_cast<char>('0' + value);
        return out + 1;
    }
    if (value >= 100000000) return std::to_chars(out, out + NUMBER_TEXT_SIZE, value).ptr;
    std::size_t digits = 2;
    for (std::uint64_t bound = 100; value >= bound; bound *= 10)
        ++digits;
    char* const end = out + digits;
    char* first = end;
    while (value >= 10) {
        first -= 2;
        pair(first, value);
        value /= 100;
    }
    if (first != out) *out = static_cast<char>('0' + value);
    return end;
}

// `mantissa` x 2^-`shift` in millionths, rounded to nearest with ties to even, as the C
// library's "%f" rounds the exact binary value under the default rounding mode.
std::uint64_t roundedMillionths(std::uint64_t mantissa, unsigned shift) {
    if (shift >= 64) return 0; // the value is below 2^-40: far below half a millionth
    const std::uint64_t scaled = mantissa * kMicro; // below 2^44: cannot overflow
    std::uint64_t quotient = scaled >> shift;
    const std::uint64_t remainder = scaled - (quotient << shift);
    const std::uint64_t half = std::uint64_t{1} << (shift - 1);
    if (remainder > half || (remainder == half && (quotient & 1U) != 0)) ++quotient;
    return quotient;
}

} // namespace

char* formatInt(char* out, std::int64_t value) {
    if (value >= 0) return formatUnsigned(out, static_cast<std::uint64_t>(value));
    *out = '-';
    return formatUnsigned(out + 1, ~static_cast<std::uint64_t>(value) + 1U);
}

char* formatFixed6(char* out, float value) {
    const auto bits = std::bit_cast<std::uint32_t>(value);
    const bool negative = (bits >> 31) != 0;
    const std::uint32_t exponent = (bits >> 23) & 0xFFU;
    const std::uint32_t fraction = bits & 0x7FFFFFU;
    if (negative) *out++ = '-';
    if (exponent == 0xFFU) return copyText(out, fraction != 0 ? "nan" : "inf");
    // value = mantissa x 2^(exponent - 150), or x 2^-149 for subnormal numbers
    const std::uint64_t mantissa = exponent == 0 ? fraction : (fraction | 0x800000U);
    const int power = exponent == 0 ? -149 : static_cast<int>(exponent) - 150;
    if (power > 39) {
        // Beyond 2^63 the integer digits need more than 64 bits; rare enough for the library.
        const double magnitude =
            negative ? -static_cast<double>(value) : static_cast<double>(value);
        return std::to_chars(out, out + NUMBER_TEXT_SIZE - 1, magnitude, std::chars_format::fixed,
                             6)
            .ptr;
    }
    std::uint64_t whole = 0;
    std::uint64_t millionths = 0; // below 10^6
    if (power >= 0) {
        whole = mantissa << power;
    } else {
        const std::uint64_t rounded = roundedMillionths(mantissa, static_cast<unsigned>(-power));
        whole = rounded / kMicro;
        millionths = rounded % kMicro;
    }
    out = formatUnsigned(out, whole);
    *out++ = '.';
    out = pair(out, millionths / 10000);
    out = pair(out, millionths / 100);
    return pair(out, millionths);
}

char* formatTime(char* out, std::string_view pattern, const LocalTime& time) {
    for (std::size_t k = 0; k < pattern.size(); ++k) {
        if (pattern[k] != '%' || k + 1 == pattern.size()) {
            *out++ = pattern[k];
            continue;
        }
        switch (pattern[++k]) {
        case 'Y':
            out = formatInt(out, time.year);
            break;
        case 'm':
            out = twoDigits(out, time.month);
            break;
        case 'd':
            out = twoDigits(out, time.day);
            break;
        case 'H':
            out = twoDigits(out, time.hour);
            break;
        case 'M':
            out = twoDigits(out, time.minute);
            break;
        case 'S':
            out = twoDigits(out, time.second);
            break;
        default:
            *out++ = '%';
            *out++ = pattern[k];
        }
    }
    return out;
}

void TextBuffer::attach(std::FILE* stream) {
    flush();
    stream_ = stream;
}

void TextBuffer::fail() {
    if (ok_) error_ = errno;
    ok_ = false;
}

void TextBuffer::flush() {
    if (used_ != 0 && stream_ != nullptr &&
        std::fwrite(storage_.data(), 1, used_, stream_) != used_)
        fail();
    used_ = 0;
}

bool TextBuffer::close() {
    flush();
    if (stream_ != nullptr && std::fclose(stream_) != 0) fail();
    stream_ = nullptr;
    return ok_;
}

void TextBuffer::put(std::string_view text) {
    if (text.size() > storage_.size()) {
        flush();
        if (stream_ != nullptr && std::fwrite(text.data(), 1, text.size(), stream_) != text.size())
            fail();
        return;
    }
    commit(copyText(reserve(text.size()), text));
}

void TextBuffer::putTime(std::string_view pattern, const LocalTime& time) {
    // Every conversion widens by at most 11 characters (a year of int range with its sign).
    commit(formatTime(reserve(pattern.size() * 6 + NUMBER_TEXT_SIZE), pattern, time));
}

} // namespace logbook
