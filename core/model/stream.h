#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <stdexcept>

namespace foresyn {

// A round-file record that cannot be what it claims. Offset is the byte at
// which the problem was found; the file's reader adds the file name.
class TFormatError : public std::runtime_error {
public:
    TFormatError(std::int64_t offset, const QString& problem);
    std::int64_t Offset() const noexcept { return offset_; }
    const QString& Problem() const noexcept { return problem_; }

private:
    std::int64_t offset_;
    QString problem_;
};

// Builds a record in memory: little-endian numbers, texts as Int32 length and
// Windows-1252 bytes. Files are written whole from this buffer.
class TStreamWriter {
public:
    TStreamWriter() = default;
    TStreamWriter(const TStreamWriter&) = delete;
    TStreamWriter& operator=(const TStreamWriter&) = delete;

    void Reserve(std::size_t bytes);
    void WriteBytes(const void* data, std::size_t count) {
        if (size_ + count > capacity_) {
            Grow(count);
        }
        std::memcpy(data_ + size_, data, count);
        size_ += count;
    }
    // Appends `count` bytes for the caller to fill and returns where they
    // start; valid until the next write.
    char* Extend(std::size_t count) {
        if (size_ + count > capacity_) {
            Grow(count);
        }
        char* at = data_ + size_;
        size_ += count;
        return at;
    }
    void WriteInt32(std::int32_t v) { WriteBytes(&v, sizeof v); }
    void WriteInt64(std::int64_t v) { WriteBytes(&v, sizeof v); }
    void WriteDouble(double v) { WriteBytes(&v, sizeof v); }
    void WriteBool(bool v) {
        const char b = v ? 1 : 0;
        WriteBytes(&b, 1);
    }
    void WriteString(const QString& text);
    void WriteStringList(const QStringList& list);

    const char* Data() const noexcept { return data_; }
    std::size_t Size() const noexcept { return size_; }
    QByteArray ToByteArray() const { return QByteArray(data_, qsizetype(size_)); }
    // Hands the written bytes out without a copy; the writer is empty after.
    QByteArray TakeBytes();

private:
    void Grow(std::size_t needed);

    QByteArray buffer_; // sized to the capacity; bytes past size_ are unused
    char* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

static_assert(std::endian::native == std::endian::little,
              "the round file is little-endian; add byte swapping for this platform");

// Reads records from a whole file in memory. Every read checks the bytes
// left and throws TFormatError instead of reading past the end; counts and
// lengths are checked before anything is allocated for them.
class TStreamReader {
public:
    TStreamReader(const char* data, std::size_t size) : data_(data), size_(size) {}

    std::size_t Position() const noexcept { return pos_; }
    std::size_t Remaining() const noexcept { return size_ - pos_; }
    bool AtEnd() const noexcept { return pos_ == size_; }

    void ReadBytes(void* out, std::size_t count, const char* what) {
        if (count > Remaining()) {
            ThrowShort(count, what);
        }
        std::memcpy(out, data_ + pos_, count);
        pos_ += count;
    }
    std::int32_t ReadInt32(const char* what) {
        std::int32_t v;
        ReadBytes(&v, sizeof v, what);
        return v;
    }
    std::int64_t ReadInt64(const char* what) {
        std::int64_t v;
        ReadBytes(&v, sizeof v, what);
        return v;
    }
    // Returns the next `count` bytes and moves past them.
    const char* Consume(std::size_t count, const char* what) {
        if (count > Remaining()) {
            ThrowShort(count, what);
        }
        const char* at = data_ + pos_;
        pos_ += count;
        return at;
    }
    double ReadDouble(const char* what) {
        double v;
        ReadBytes(&v, sizeof v, what);
        return v;
    }
    bool ReadBool(const char* what);
    QString ReadString(const char* what);
    QStringList ReadStringList(const char* what);

    // Reads a count of records that take at least minBytes each and refuses
    // one that is negative or larger than the bytes left could hold.
    std::int32_t ReadCount(const char* what, std::size_t minBytes);

    [[noreturn]] void Fail(std::size_t offset, const QString& problem) const;

private:
    [[noreturn]] void ThrowShort(std::size_t count, const char* what) const;

    const char* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// The longest year range a record may claim: more is taken as damage.
inline constexpr int kMaxYearSpan = 200;

// Checks a year range read at `offset`: LastYear may be FirstYear - 1 (no
// years) but not less, and the range may not exceed kMaxYearSpan years.
// Returns the number of years.
int CheckedYearCount(const TStreamReader& reader, std::size_t offset, std::int32_t first,
                     std::int32_t last);

} // namespace foresyn
