#include "core/spreadsheet/biffrecords.h"

#include "core/spreadsheet/spreadsheeterror.h"

#include <QtEndian>

#include <bit>
#include <cmath>
#include <cstring>
#include <stdexcept>

namespace foresyn::biff {

namespace {

void Put8(QByteArray& out, unsigned v) {
    out.append(static_cast<char>(v & 0xFF));
}

void Put16(QByteArray& out, unsigned v) {
    const char b[2] = {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)};
    out.append(b, 2);
}

void Put32(QByteArray& out, std::uint32_t v) {
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
}

void Header(QByteArray& out, std::uint16_t id, qsizetype length) {
    if (length > kMaxRecordData)
        throw std::length_error("BIFF record data longer than 8224 bytes");
    Put16(out, id);
    Put16(out, static_cast<unsigned>(length));
}

bool IsCompressible(QStringView text) {
    for (QChar c : text) {
        if (c.unicode() > 0xFF)
            return false;
    }
    return true;
}

// Characters as the file stores them: one low byte each when every code
// unit is below 0x100, else UTF-16LE.
void PutChars(QByteArray& out, QStringView text, bool compressed) {
    if (compressed) {
        const qsizetype at = out.size();
        out.resize(at + text.size());
        char* p = out.data() + at;
        for (QChar c : text)
            *p++ = static_cast<char>(c.unicode());
    } else {
        for (QChar c : text)
            Put16(out, c.unicode());
    }
}

qsizetype StringBytes(QStringView text, bool shortCount) {
    return (shortCount ? 2 : 3) + text.size() * (IsCompressible(text) ? 1 : 2);
}

void PutString(QByteArray& out, QStringView text, bool shortCount) {
    const bool compressed = IsCompressible(text);
    if (shortCount)
        Put8(out, static_cast<unsigned>(text.size()));
    else
        Put16(out, static_cast<unsigned>(text.size()));
    Put8(out, compressed ? 0 : 1);
    PutChars(out, text, compressed);
}

// Writes a record of known length straight into the stream's buffer,
// which is grown once per record.
class TCursor {
public:
    explicit TCursor(char* p) : p_(p) {}
    void U8(unsigned v) { *p_++ = static_cast<char>(v & 0xFF); }
    void U16(unsigned v) {
        qToLittleEndian(static_cast<std::uint16_t>(v), p_);
        p_ += 2;
    }
    void U32(std::uint32_t v) {
        qToLittleEndian(v, p_);
        p_ += 4;
    }
    void F64(double v) {
        qToLittleEndian(std::bit_cast<std::uint64_t>(v), p_);
        p_ += 8;
    }
    void Bytes(const char* data, qsizetype n) {
        if (n > 0)
            std::memcpy(p_, data, static_cast<std::size_t>(n));
        p_ += n;
    }
    void String(QStringView text, bool shortCount) {
        const bool compressed = IsCompressible(text);
        if (shortCount)
            U8(static_cast<unsigned>(text.size()));
        else
            U16(static_cast<unsigned>(text.size()));
        U8(compressed ? 0 : 1);
        for (QChar c : text) {
            if (compressed)
                U8(c.unicode());
            else
                U16(c.unicode());
        }
    }

private:
    char* p_;
};

TCursor Begin(QByteArray& out, std::uint16_t id, qsizetype length) {
    if (length > kMaxRecordData)
        throw std::length_error("BIFF record data longer than 8224 bytes");
    const qsizetype at = out.size();
    out.resize(at + 4 + length);
    TCursor w(out.data() + at);
    w.U16(id);
    w.U16(static_cast<unsigned>(length));
    return w;
}

TCursor BeginCell(QByteArray& out, std::uint16_t id, qsizetype length, int row, int col, int xf) {
    TCursor w = Begin(out, id, length);
    w.U16(static_cast<unsigned>(row));
    w.U16(static_cast<unsigned>(col));
    w.U16(static_cast<unsigned>(xf));
    return w;
}

} // namespace

std::optional<std::uint32_t> EncodeRkInteger(std::int64_t value) {
    if (value < -(std::int64_t{1} << 29) || value >= (std::int64_t{1} << 29))
        return std::nullopt;
    return (static_cast<std::uint32_t>(value) << 2) | 2u;
}

std::optional<std::uint32_t> EncodeRk(double value) {
    const auto bits = std::bit_cast<std::uint64_t>(value);
    if ((bits & 0x3FFFFFFFFull) == 0)
        return static_cast<std::uint32_t>(bits >> 32);
    if (!std::isfinite(value))
        return std::nullopt;
    // The ×100 forms only when dividing by 100 gives back the very same double.
    const double hundred = value * 100;
    const auto hundredBits = std::bit_cast<std::uint64_t>(hundred);
    if ((hundredBits & 0x3FFFFFFFFull) == 0) {
        const auto rk = static_cast<std::uint32_t>(hundredBits >> 32) | 1u;
        if (DecodeRk(rk) == value)
            return rk;
    }
    if (std::fabs(hundred) < double(1 << 29)) {
        const auto n = static_cast<std::int64_t>(std::llround(hundred));
        if (const auto rk = EncodeRkInteger(n)) {
            if (DecodeRk(*rk | 1u) == value)
                return *rk | 1u;
        }
    }
    return std::nullopt;
}

double DecodeRk(std::uint32_t rk) {
    double value;
    if (rk & 2u)
        value = static_cast<double>(static_cast<std::int32_t>(rk) >> 2);
    else
        value = std::bit_cast<double>(static_cast<std::uint64_t>(rk & ~3u) << 32);
    return (rk & 1u) ? value / 100 : value;
}

bool IsRkInteger(std::uint32_t rk) {
    return (rk & 3u) == 2u;
}

void AppendRecord(QByteArray& out, std::uint16_t id, QByteArrayView data) {
    TCursor w = Begin(out, id, data.size());
    w.Bytes(data.data(), data.size());
}

void AppendEmpty(QByteArray& out, std::uint16_t id) {
    Begin(out, id, 0);
}

void AppendU16(QByteArray& out, std::uint16_t id, std::uint16_t value) {
    TCursor w = Begin(out, id, 2);
    w.U16(value);
}

void AppendBof(QByteArray& out, TSubstream type) {
    TCursor w = Begin(out, kBof, 16);
    w.U16(0x0600); // BIFF8
    w.U16(static_cast<unsigned>(type));
    w.U16(0x0DBB); // build and year of the writing program, as Excel 97 gives them
    w.U16(0x07CC);
    w.U32(0);
    w.U32(0x00000006); // lowest BIFF version that can read the file
}

void AppendWriteAccess(QByteArray& out, QStringView user) {
    constexpr int kLength = 112;
    QByteArray data;
    PutString(data, user.left(50), false);
    data.append(kLength - data.size(), ' ');
    AppendRecord(out, kWriteAccess, data);
}

void AppendTabId(QByteArray& out, int sheets) {
    TCursor w = Begin(out, kTabId, 2 * sheets);
    for (int i = 1; i <= sheets; ++i)
        w.U16(static_cast<unsigned>(i));
}

void AppendWindow1(QByteArray& out, std::uint16_t activeSheet) {
    TCursor w = Begin(out, kWindow1, 18);
    w.U16(0x0168); // position and size in twips
    w.U16(0x010E);
    w.U16(0x3A5C);
    w.U16(0x23BE);
    w.U16(0x0038); // scroll bars and sheet tabs shown
    w.U16(activeSheet);
    w.U16(0); // first tab shown
    w.U16(1); // selected sheets
    w.U16(0x0258);
}

void AppendFont(QByteArray& out, const TFontRecord& font) {
    TCursor w = Begin(out, kFont, 14 + StringBytes(font.Name, true));
    w.U16(font.Height);
    w.U16(font.Bold ? 0x0001 : 0); // the old bold flag, which some readers still use
    w.U16(font.Colour);
    w.U16(font.Bold ? 700 : 400);
    w.U16(0); // escapement
    w.U8(0);  // underline
    w.U8(0);  // family
    w.U8(0);  // character set
    w.U8(0);
    w.String(font.Name, true);
}

void AppendFormat(QByteArray& out, std::uint16_t id, QStringView format) {
    TCursor w = Begin(out, kFormat, 2 + StringBytes(format, false));
    w.U16(id);
    w.String(format, false);
}

void AppendXf(QByteArray& out, const TXfRecord& xf) {
    TCursor w = Begin(out, kXf, 20);
    w.U16(xf.Font);
    w.U16(xf.Format);
    w.U16(xf.IsStyle ? 0xFFF5 : static_cast<unsigned>((xf.Parent << 4) | 0x0001));
    w.U8(static_cast<unsigned>(xf.HAlign | (xf.VAlign << 4)));
    w.U8(0); // rotation
    w.U8(0); // indent, shrink, reading order
    w.U8(xf.UsedAttributes);
    const auto& s = xf.BorderStyle;
    const auto& c = xf.BorderColour;
    w.U32(std::uint32_t{s[0]} | std::uint32_t{s[1]} << 4 | std::uint32_t{s[2]} << 8 |
          std::uint32_t{s[3]} << 12 | std::uint32_t{c[0]} << 16 | std::uint32_t{c[1]} << 23);
    w.U32(std::uint32_t{c[2]} | std::uint32_t{c[3]} << 7 | std::uint32_t{xf.FillPattern} << 26);
    w.U16(static_cast<unsigned>(xf.FillForeground | (xf.FillBackground << 7)));
}

void AppendStyleNormal(QByteArray& out) {
    TCursor w = Begin(out, kStyle, 4);
    w.U16(0x8000); // built-in style of XF 0
    w.U8(0);       // Normal
    w.U8(0xFF);
}

qsizetype AppendBoundSheet(QByteArray& out, QStringView name) {
    const qsizetype at = out.size() + 4;
    TCursor w = Begin(out, kBoundSheet, 6 + StringBytes(name, true));
    w.U32(0);
    w.U8(0); // visible
    w.U8(0); // worksheet
    w.String(name, true);
    return at;
}

void AppendCountry(QByteArray& out) {
    TCursor w = Begin(out, kCountry, 4);
    w.U16(1);
    w.U16(1);
}

void PatchU32(QByteArray& out, qsizetype pos, std::uint32_t value) {
    qToLittleEndian(value, out.data() + pos);
}

void AppendSst(QByteArray& out, const QList<QString>& strings, std::uint32_t total) {
    qsizetype record = out.size(); // header of the record being filled
    auto used = [&] { return out.size() - record - 4; };
    auto room = [&] { return kMaxRecordData - used(); };
    auto close = [&] {
        const auto length = static_cast<std::uint16_t>(used());
        qToLittleEndian(length, out.data() + record + 2);
    };
    auto startContinue = [&] {
        close();
        record = out.size();
        Put16(out, kContinue);
        Put16(out, 0);
    };

    const auto unique = static_cast<std::uint32_t>(strings.size());
    Put16(out, kSst);
    Put16(out, 0);
    Put32(out, total);
    Put32(out, unique);

    // EXTSST: every dsst-th string, where it starts in the stream and in its record.
    const int perBucket = std::max<int>(static_cast<int>(unique / 128 + 1), 8);
    QByteArray buckets;

    for (qsizetype i = 0; i < strings.size(); ++i) {
        const QString& text = strings[i];
        const bool compressed = IsCompressible(text);
        const int charBytes = compressed ? 1 : 2;
        // The string's header and its first character (both halves of a
        // surrogate pair) stay in one record.
        const int firstChar =
            text.isEmpty() ? 0 : (!compressed && text.at(0).isHighSurrogate() ? 4 : charBytes);
        if (room() < 3 + firstChar)
            startContinue();
        if (i % perBucket == 0) {
            Put32(buckets, static_cast<std::uint32_t>(out.size()));
            Put16(buckets, static_cast<unsigned>(out.size() - record));
            Put16(buckets, 0);
        }
        Put16(out, static_cast<unsigned>(text.size()));
        Put8(out, compressed ? 0 : 1);
        qsizetype pos = 0;
        while (pos < text.size()) {
            qsizetype fit = std::min<qsizetype>(room() / charBytes, text.size() - pos);
            // A surrogate pair stays in one record: some readers decode each piece alone.
            if (fit > 0 && pos + fit < text.size() && text.at(pos + fit - 1).isHighSurrogate())
                --fit;
            if (fit == 0) {
                // The characters go on in a CONTINUE that starts with the flags byte again.
                startContinue();
                Put8(out, compressed ? 0 : 1);
                continue;
            }
            PutChars(out, QStringView(text).sliced(pos, fit), compressed);
            pos += fit;
        }
    }
    close();

    Header(out, kExtSst, 2 + buckets.size());
    Put16(out, static_cast<unsigned>(perBucket));
    out.append(buckets);
}

void AppendDelta(QByteArray& out) {
    TCursor w = Begin(out, kDelta, 8);
    w.F64(0.001);
}

void AppendGuts(QByteArray& out) {
    TCursor w = Begin(out, kGuts, 8);
    w.U32(0);
    w.U32(0);
}

void AppendDefaultRowHeight(QByteArray& out) {
    TCursor w = Begin(out, kDefaultRowHeight, 4);
    w.U16(0);
    w.U16(255); // twips
}

void AppendSetup(QByteArray& out) {
    TCursor w = Begin(out, kSetup, 34);
    w.U16(9);      // A4
    w.U16(100);    // scale, per cent
    w.U16(1);      // first page number
    w.U16(1);      // fit to pages wide
    w.U16(1);      // and tall
    w.U16(0x0002); // portrait
    w.U16(300);    // resolution
    w.U16(300);
    w.F64(0.5); // header and footer margins, inches
    w.F64(0.5);
    w.U16(1); // copies
}

void AppendColInfo(QByteArray& out, int firstCol, int lastCol, int width) {
    TCursor w = Begin(out, kColInfo, 12);
    w.U16(static_cast<unsigned>(firstCol));
    w.U16(static_cast<unsigned>(lastCol));
    w.U16(static_cast<unsigned>(width));
    w.U16(15);     // default cell XF
    w.U16(0x0002); // width set by the user
    w.U16(0);
}

void AppendDimensions(QByteArray& out, int firstRow, int rowEnd, int firstCol, int colEnd) {
    TCursor w = Begin(out, kDimensions, 14);
    w.U32(static_cast<std::uint32_t>(firstRow));
    w.U32(static_cast<std::uint32_t>(rowEnd));
    w.U16(static_cast<unsigned>(firstCol));
    w.U16(static_cast<unsigned>(colEnd));
    w.U16(0);
}

void AppendRow(QByteArray& out, int row, int firstCol, int colEnd) {
    TCursor w = Begin(out, kRow, 16);
    w.U16(static_cast<unsigned>(row));
    w.U16(static_cast<unsigned>(firstCol));
    w.U16(static_cast<unsigned>(colEnd));
    w.U16(255); // height in twips, the default
    w.U16(0);
    w.U16(0);
    w.U32(0x000F0100); // XF 15, the bit that is always set
}

void AppendWindow2(QByteArray& out, bool selected) {
    TCursor w = Begin(out, kWindow2, 18);
    // Grid, headers, zeros, automatic grid colour, outline symbols; the
    // active sheet also selected and shown (more than one would group them).
    w.U16(selected ? 0x06B6 : 0x00B6);
    w.U16(0);
    w.U16(0);
    w.U16(64);
    w.U16(0);
    w.U16(0);
    w.U16(0);
    w.U32(0);
}

void AppendLabelSst(QByteArray& out, int row, int col, int xf, std::uint32_t index) {
    TCursor w = BeginCell(out, kLabelSst, 10, row, col, xf);
    w.U32(index);
}

void AppendLabel(QByteArray& out, int row, int col, int xf, QStringView text) {
    TCursor w = BeginCell(out, kLabel, 6 + StringBytes(text, false), row, col, xf);
    w.String(text, false);
}

void AppendNumber(QByteArray& out, int row, int col, int xf, double value) {
    TCursor w = BeginCell(out, kNumber, 14, row, col, xf);
    w.F64(value);
}

void AppendRk(QByteArray& out, int row, int col, int xf, std::uint32_t rk) {
    TCursor w = BeginCell(out, kRk, 10, row, col, xf);
    w.U32(rk);
}

void AppendMulRk(QByteArray& out, int row, int firstCol, const TRkCell* cells, int count) {
    TCursor w = Begin(out, kMulRk, 6 + 6 * count);
    w.U16(static_cast<unsigned>(row));
    w.U16(static_cast<unsigned>(firstCol));
    for (int i = 0; i < count; ++i) {
        w.U16(cells[i].Xf);
        w.U32(cells[i].Rk);
    }
    w.U16(static_cast<unsigned>(firstCol + count - 1));
}

void AppendBlank(QByteArray& out, int row, int col, int xf) {
    BeginCell(out, kBlank, 6, row, col, xf);
}

void AppendMulBlank(QByteArray& out, int row, int firstCol, const std::uint16_t* xfs, int count) {
    TCursor w = Begin(out, kMulBlank, 6 + 2 * count);
    w.U16(static_cast<unsigned>(row));
    w.U16(static_cast<unsigned>(firstCol));
    for (int i = 0; i < count; ++i)
        w.U16(xfs[i]);
    w.U16(static_cast<unsigned>(firstCol + count - 1));
}

void AppendBoolErr(QByteArray& out, int row, int col, int xf, int value, bool isError) {
    TCursor w = BeginCell(out, kBoolErr, 8, row, col, xf);
    w.U8(static_cast<unsigned>(value));
    w.U8(isError ? 1 : 0);
}

// ---- reading ----

void TByteReader::Fail() const {
    throw TSpreadsheetError(
        QStringLiteral("the record at byte %1 is shorter than its contents need").arg(offset_));
}

QByteArrayView TByteReader::Bytes(qsizetype n) {
    if (n < 0 || n > Left())
        Fail();
    const QByteArrayView piece = data_.sliced(pos_, n);
    pos_ += n;
    return piece;
}

std::uint8_t TByteReader::U8() {
    return static_cast<std::uint8_t>(Bytes(1)[0]);
}

std::uint16_t TByteReader::U16() {
    return qFromLittleEndian<std::uint16_t>(Bytes(2).data());
}

std::uint32_t TByteReader::U32() {
    return qFromLittleEndian<std::uint32_t>(Bytes(4).data());
}

double TByteReader::F64() {
    return std::bit_cast<double>(qFromLittleEndian<std::uint64_t>(Bytes(8).data()));
}

namespace {

QString DecodeChars(QByteArrayView bytes, bool wide) {
    if (!wide)
        return QString::fromLatin1(bytes.data(), bytes.size());
    QString text(bytes.size() / 2, Qt::Uninitialized);
    qFromLittleEndian<char16_t>(bytes.data(), bytes.size() / 2, text.data());
    return text;
}

} // namespace

QString TByteReader::UnicodeString(bool shortCount) {
    const unsigned count = shortCount ? U8() : U16();
    const std::uint8_t flags = U8();
    const qsizetype runs = (flags & 0x08) ? U16() : 0;
    const qsizetype extra = (flags & 0x04) ? U32() : 0;
    const bool wide = flags & 0x01;
    QString text = DecodeChars(Bytes(count * (wide ? 2 : 1)), wide);
    // Formatting runs and phonetic data belong to the text's look only.
    Skip(std::min(Left(), 4 * runs + extra));
    return text;
}

bool TRecordReader::Next(TRecord& record) {
    const qsizetype size = stream_.size();
    if (pos_ >= size)
        return false;
    auto header = [&](qsizetype at, std::uint16_t& id, qsizetype& length) {
        if (size - at < 4) {
            throw TSpreadsheetError(
                QStringLiteral("the stream ends inside a record header at byte %1").arg(at));
        }
        id = qFromLittleEndian<std::uint16_t>(stream_.data() + at);
        length = qFromLittleEndian<std::uint16_t>(stream_.data() + at + 2);
        if (length > size - at - 4) {
            throw TSpreadsheetError(QStringLiteral("record 0x%1 at byte %2 runs past the end "
                                                   "of the stream")
                                        .arg(id, 4, 16, QChar(u'0'))
                                        .arg(at));
        }
    };
    std::uint16_t id;
    qsizetype length;
    header(pos_, id, length);
    record.Id = id;
    record.Offset = pos_;
    record.Data = stream_.sliced(pos_ + 4, length);
    record.Continues.clear();
    pos_ += 4 + length;
    while (size - pos_ >= 4 &&
           qFromLittleEndian<std::uint16_t>(stream_.data() + pos_) == kContinue) {
        header(pos_, id, length);
        record.Continues.append(stream_.sliced(pos_ + 4, length));
        pos_ += 4 + length;
    }
    return true;
}

namespace {

// Reads across a record and its CONTINUE records as one sequence of bytes,
// except where a string's characters move on into the next piece: there a
// new flags byte comes first.
class TPieces {
public:
    explicit TPieces(const TRecord& record) : offset_(record.Offset) {
        pieces_.append(record.Data);
        pieces_.append(record.Continues);
        for (const auto& p : pieces_)
            total_ += p.size();
    }

    qsizetype TotalBytes() const noexcept { return total_; }

    bool AtEnd() {
        SkipEmpty();
        return piece_ >= pieces_.size();
    }

    std::uint8_t U8() {
        SkipEmpty();
        if (piece_ >= pieces_.size())
            Fail();
        return static_cast<std::uint8_t>(pieces_[piece_][pos_++]);
    }

    std::uint16_t U16() {
        const unsigned low = U8();
        return static_cast<std::uint16_t>(low | (unsigned{U8()} << 8));
    }

    std::uint32_t U32() {
        const std::uint32_t low = U16();
        return low | (std::uint32_t{U16()} << 16);
    }

    void Skip(qsizetype n) {
        while (n > 0) {
            SkipEmpty();
            if (piece_ >= pieces_.size())
                Fail();
            const qsizetype take = std::min(n, pieces_[piece_].size() - pos_);
            pos_ += take;
            n -= take;
        }
    }

    QString Chars(qsizetype count, bool wide) {
        QString text;
        text.reserve(std::min(count, TotalBytes()));
        while (count > 0) {
            if (piece_ >= pieces_.size() || pos_ >= pieces_[piece_].size()) {
                ++piece_;
                pos_ = 0;
                if (piece_ >= pieces_.size() || pieces_[piece_].isEmpty())
                    Fail();
                wide = pieces_[piece_][pos_++] & 0x01;
            }
            const qsizetype charBytes = wide ? 2 : 1;
            const qsizetype fit = std::min(count, (pieces_[piece_].size() - pos_) / charBytes);
            if (fit == 0)
                Fail(); // a UTF-16 code unit split between two records
            text += DecodeChars(pieces_[piece_].sliced(pos_, fit * charBytes), wide);
            pos_ += fit * charBytes;
            count -= fit;
        }
        return text;
    }

    [[noreturn]] void Fail() const {
        throw TSpreadsheetError(
            QStringLiteral("the shared string table at byte %1 is damaged").arg(offset_));
    }

private:
    void SkipEmpty() {
        while (piece_ < pieces_.size() && pos_ >= pieces_[piece_].size()) {
            ++piece_;
            pos_ = 0;
        }
    }

    QList<QByteArrayView> pieces_;
    qsizetype offset_;
    qsizetype total_ = 0;
    qsizetype piece_ = 0;
    qsizetype pos_ = 0;
};

} // namespace

QList<QString> DecodeSst(const TRecord& record) {
    TPieces in(record);
    in.U32(); // cells that use the table
    const std::uint32_t unique = in.U32();
    QList<QString> strings;
    // Every string takes at least three bytes: no count is trusted beyond that.
    strings.reserve(std::min<qsizetype>(unique, in.TotalBytes() / 3));
    for (std::uint32_t i = 0; i < unique && !in.AtEnd(); ++i) {
        const unsigned count = in.U16();
        const std::uint8_t flags = in.U8();
        const qsizetype runs = (flags & 0x08) ? in.U16() : 0;
        const qsizetype extra = (flags & 0x04) ? in.U32() : 0;
        strings.append(in.Chars(count, flags & 0x01));
        in.Skip(4 * runs + extra);
    }
    return strings;
}

TFontRecord DecodeFont(const TRecord& record) {
    TByteReader in(record.Data, record.Offset);
    TFontRecord font;
    font.Height = in.U16();
    const std::uint16_t flags = in.U16();
    font.Colour = in.U16();
    const std::uint16_t weight = in.U16();
    font.Bold = weight >= 700 || (flags & 0x0001);
    in.Skip(6); // escapement, underline, family, character set, reserved
    font.Name = in.UnicodeString(true);
    return font;
}

TXfRecord DecodeXf(const TRecord& record) {
    TByteReader in(record.Data, record.Offset);
    TXfRecord xf;
    xf.Font = in.U16();
    xf.Format = in.U16();
    const std::uint16_t type = in.U16();
    xf.IsStyle = type & 0x0004;
    xf.Parent = type >> 4;
    const std::uint8_t align = in.U8();
    xf.HAlign = align & 0x07;
    xf.VAlign = (align >> 4) & 0x07;
    in.Skip(2);
    xf.UsedAttributes = in.U8();
    const std::uint32_t b1 = in.U32();
    const std::uint32_t b2 = in.U32();
    const std::uint16_t fill = in.U16();
    xf.BorderStyle = {
        static_cast<std::uint8_t>(b1 & 0x0F), static_cast<std::uint8_t>((b1 >> 4) & 0x0F),
        static_cast<std::uint8_t>((b1 >> 8) & 0x0F), static_cast<std::uint8_t>((b1 >> 12) & 0x0F)};
    xf.BorderColour = {
        static_cast<std::uint8_t>((b1 >> 16) & 0x7F), static_cast<std::uint8_t>((b1 >> 23) & 0x7F),
        static_cast<std::uint8_t>(b2 & 0x7F), static_cast<std::uint8_t>((b2 >> 7) & 0x7F)};
    xf.FillPattern = static_cast<std::uint8_t>((b2 >> 26) & 0x3F);
    xf.FillForeground = fill & 0x7F;
    xf.FillBackground = (fill >> 7) & 0x7F;
    return xf;
}

} // namespace foresyn::biff
