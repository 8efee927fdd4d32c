#include "core/model/stream.h"

#include "core/util/codepage.h"

#include <algorithm>

namespace foresyn {

TFormatError::TFormatError(std::int64_t offset, const QString& problem)
    : std::runtime_error(QStringLiteral("byte %1: %2").arg(offset).arg(problem).toStdString()),
      offset_(offset), problem_(problem) {}

void TStreamWriter::Reserve(std::size_t bytes) {
    if (bytes > capacity_) {
        Grow(bytes - size_);
    }
}

void TStreamWriter::Grow(std::size_t needed) {
    const std::size_t capacity = std::max({capacity_ * 2, size_ + needed, std::size_t(4096)});
    buffer_.resize(qsizetype(capacity)); // keeps the bytes written so far
    data_ = buffer_.data();
    capacity_ = capacity;
}

QByteArray TStreamWriter::TakeBytes() {
    buffer_.truncate(qsizetype(size_));
    QByteArray bytes = std::move(buffer_);
    buffer_ = QByteArray();
    data_ = nullptr;
    size_ = capacity_ = 0;
    return bytes;
}

void TStreamWriter::WriteString(const QString& text) {
    // Encoded straight into the buffer: never more bytes than UTF-16 units.
    const std::size_t room = 4 + std::size_t(text.size());
    if (size_ + room > capacity_) {
        Grow(room);
    }
    const qsizetype n = EncodeWindows1252To(text, data_ + size_ + 4);
    const std::int32_t length = std::int32_t(n);
    std::memcpy(data_ + size_, &length, 4);
    size_ += 4 + std::size_t(n);
}

void TStreamWriter::WriteStringList(const QStringList& list) {
    WriteInt32(std::int32_t(list.size()));
    for (const QString& s : list) {
        WriteString(s);
    }
}

bool TStreamReader::ReadBool(const char* what) {
    const std::size_t at = pos_;
    unsigned char b;
    ReadBytes(&b, 1, what);
    // Only 0 and 1 are ever written; another value could not be written
    // back as it was read, so it is taken as damage.
    if (b > 1) {
        Fail(at, QStringLiteral("%1 is %2, neither 0 nor 1").arg(QLatin1String(what)).arg(b));
    }
    return b == 1;
}

QString TStreamReader::ReadString(const char* what) {
    const std::size_t at = pos_;
    const std::int32_t n = ReadInt32(what);
    if (n < 0) {
        Fail(at, QStringLiteral("%1 has a negative length (%2)").arg(QLatin1String(what)).arg(n));
    }
    if (std::size_t(n) > Remaining()) {
        Fail(at, QStringLiteral("%1 length %2 exceeds the %3 bytes left")
                     .arg(QLatin1String(what))
                     .arg(n)
                     .arg(Remaining()));
    }
    QString text = DecodeWindows1252(QByteArrayView(data_ + pos_, n));
    pos_ += std::size_t(n);
    return text;
}

QStringList TStreamReader::ReadStringList(const char* what) {
    const std::int32_t n = ReadCount(what, 4);
    QStringList list;
    list.reserve(n);
    for (std::int32_t i = 0; i < n; ++i) {
        list.append(ReadString(what));
    }
    return list;
}

std::int32_t TStreamReader::ReadCount(const char* what, std::size_t minBytes) {
    const std::size_t at = pos_;
    const std::int32_t n = ReadInt32(what);
    if (n < 0) {
        Fail(at, QStringLiteral("%1 is negative (%2)").arg(QLatin1String(what)).arg(n));
    }
    if (std::size_t(n) > Remaining() / minBytes) {
        Fail(at, QStringLiteral("%1 %2 exceeds what the %3 bytes left can hold")
                     .arg(QLatin1String(what))
                     .arg(n)
                     .arg(Remaining()));
    }
    return n;
}

void TStreamReader::Fail(std::size_t offset, const QString& problem) const {
    throw TFormatError(std::int64_t(offset), problem);
}

void TStreamReader::ThrowShort(std::size_t count, const char* what) const {
    Fail(pos_, QStringLiteral("file ends inside %1 (%2 bytes needed, %3 left)")
                   .arg(QLatin1String(what))
                   .arg(count)
                   .arg(Remaining()));
}

int CheckedYearCount(const TStreamReader& reader, std::size_t offset, std::int32_t first,
                     std::int32_t last) {
    const std::int64_t years = std::int64_t(last) - std::int64_t(first) + 1;
    if (years < 0) {
        reader.Fail(
            offset,
            QStringLiteral("last year %1 lies before first year %2 - 1").arg(last).arg(first));
    }
    if (years > kMaxYearSpan) {
        reader.Fail(offset, QStringLiteral("year range %1 .. %2 spans more than %3 years")
                                .arg(first)
                                .arg(last)
                                .arg(kMaxYearSpan));
    }
    return int(years);
}

} // namespace foresyn
