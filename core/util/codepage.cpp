#include "core/util/codepage.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace foresyn {

namespace {

// Code points of the bytes 0x80..0x9F. Every other byte is its own Latin-1
// code point. The five undefined bytes keep their C1 control value so that
// any byte string reads and writes back unchanged.
constexpr char16_t kHighHalf[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 80..87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, // 88..8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90..97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, // 98..9F
};

constexpr std::array<char16_t, 256> MakeDecodeTable() {
    std::array<char16_t, 256> table{};
    for (int b = 0; b < 256; ++b)
        table[b] = (b >= 0x80 && b < 0xA0) ? kHighHalf[b - 0x80] : char16_t(b);
    return table;
}

constexpr std::array<char16_t, 256> kDecode = MakeDecodeTable();

constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

// True when one of the eight bytes lies in 0x80..0x9F, the only range whose
// code points differ from the byte value.
inline bool HasHighHalfByte(std::uint64_t word) {
    const std::uint64_t y = (word & (kOnes * 0xE0)) ^ kHighBits; // 0 where the byte is 100xxxxx
    return ((y - kOnes) & ~y & kHighBits) != 0;
}

inline bool IsSameAsLatin1(char16_t c) {
    return c < 0x80 || (c >= 0xA0 && c <= 0xFF);
}

// The byte for a character outside the Latin-1 ranges, or -1.
int HighHalfByte(char16_t c) {
    for (int i = 0; i < 32; ++i) {
        if (kHighHalf[i] == c)
            return 0x80 + i;
    }
    return -1;
}

} // namespace

QString DecodeWindows1252(QByteArrayView bytes) {
    // Every byte outside 0x80..0x9F is its own Latin-1 code point: widen the
    // whole text with Qt's vectorised Latin-1 conversion, then correct the few
    // bytes of that range, found eight at a time.
    QString text = QString::fromLatin1(bytes.data(), bytes.size());
    const qsizetype n = bytes.size();
    if (n == 0)
        return text;
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
    auto* out = reinterpret_cast<char16_t*>(text.data());
    qsizetype i = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, in + i, 8);
        if (HasHighHalfByte(word)) {
            for (int k = 0; k < 8; ++k)
                out[i + k] = kDecode[in[i + k]];
        }
    }
    for (; i < n; ++i)
        out[i] = kDecode[in[i]];
    return text;
}

qsizetype EncodeWindows1252To(QStringView text, char* out) {
    const qsizetype n = text.size();
    const char16_t* in = text.utf16();
    qsizetype j = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = in[i];
        if (IsSameAsLatin1(c)) {
            out[j++] = char(c);
            continue;
        }
        // A character beyond the BMP is one character: one "?", not two.
        if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(in[i + 1]))
            ++i;
        const int b = HighHalfByte(c);
        out[j++] = b < 0 ? '?' : char(b);
    }
    return j;
}

QByteArray EncodeWindows1252(QStringView text) {
    QByteArray bytes(text.size(), Qt::Uninitialized);
    bytes.truncate(EncodeWindows1252To(text, bytes.data()));
    return bytes;
}

bool IsWindows1252Encodable(QStringView text) {
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        if (!IsSameAsLatin1(c) && HighHalfByte(c) < 0)
            return false;
    }
    return true;
}

} // namespace foresyn
