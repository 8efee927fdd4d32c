#pragma once

// The records of an Excel 97-2003 (BIFF8) Workbook stream: one small
// function per record kind that appends the complete record (4-byte header
// and data) to a stream, and the pieces that take records apart again. Only
// what this system writes and reads is here.

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringView>

#include <array>
#include <cstdint>
#include <optional>

namespace foresyn::biff {

enum TRecordId : std::uint16_t {
    kFormula = 0x0006,
    kEof = 0x000A,
    kCalcCount = 0x000C,
    kCalcMode = 0x000D,
    kPrecision = 0x000E,
    kRefMode = 0x000F,
    kDelta = 0x0010,
    kIteration = 0x0011,
    kProtect = 0x0012,
    kPassword = 0x0013,
    kHeader = 0x0014,
    kFooter = 0x0015,
    kWindowProtect = 0x0019,
    kDateMode = 0x0022,
    kPrintHeaders = 0x002A,
    kPrintGridLines = 0x002B,
    kFilePass = 0x002F,
    kFont = 0x0031,
    kContinue = 0x003C,
    kWindow1 = 0x003D,
    kBackup = 0x0040,
    kCodePage = 0x0042,
    kDefColWidth = 0x0055,
    kWriteAccess = 0x005C,
    kSaveRecalc = 0x005F,
    kColInfo = 0x007D,
    kGuts = 0x0080,
    kWsBool = 0x0081,
    kGridSet = 0x0082,
    kHCenter = 0x0083,
    kVCenter = 0x0084,
    kBoundSheet = 0x0085,
    kCountry = 0x008C,
    kHideObj = 0x008D,
    kSetup = 0x00A1,
    kMulRk = 0x00BD,
    kMulBlank = 0x00BE,
    kMms = 0x00C1,
    kBookBool = 0x00DA,
    kXf = 0x00E0,
    kInterfaceHdr = 0x00E1,
    kInterfaceEnd = 0x00E2,
    kSst = 0x00FC,
    kLabelSst = 0x00FD,
    kExtSst = 0x00FF,
    kTabId = 0x013D,
    kUsesElfs = 0x0160,
    kDsf = 0x0161,
    kProt4Rev = 0x01AF,
    kRefreshAll = 0x01B7,
    kProt4RevPass = 0x01BC,
    kDimensions = 0x0200,
    kBlank = 0x0201,
    kNumber = 0x0203,
    kLabel = 0x0204,
    kBoolErr = 0x0205,
    kString = 0x0207,
    kRow = 0x0208,
    kDefaultRowHeight = 0x0225,
    kWindow2 = 0x023E,
    kRk = 0x027E,
    kStyle = 0x0293,
    kFormat = 0x041E,
    kBof = 0x0809,
};

// A record's data is at most this long; longer data goes on in CONTINUE records.
inline constexpr int kMaxRecordData = 8224;

enum class TSubstream : std::uint16_t { Globals = 0x0005, Worksheet = 0x0010 };

struct TFontRecord {
    std::uint16_t Height = 200; // twentieths of a point
    bool Bold = false;
    std::uint16_t Colour = 0x7FFF; // palette index, 0x7FFF automatic
    QString Name;                  // 1..31 characters

    bool operator==(const TFontRecord&) const = default;
};

// Border sides in the order of TBorderSide: left, right, top, bottom.
struct TXfRecord {
    std::uint16_t Font = 0;
    std::uint16_t Format = 0;
    bool IsStyle = false;     // a style XF rather than a cell XF
    std::uint16_t Parent = 0; // the style a cell XF is based on
    std::uint8_t HAlign = 0;
    std::uint8_t VAlign = 2; // bottom
    // Byte 9 as the file holds it: in cell XFs a set bit (0x04..0x80) says
    // the XF supplies that group, in style XFs that the group is ignored.
    std::uint8_t UsedAttributes = 0;
    std::array<std::uint8_t, 4> BorderStyle{};
    std::array<std::uint8_t, 4> BorderColour{};
    std::uint8_t FillPattern = 0;
    std::uint8_t FillForeground = 64;
    std::uint8_t FillBackground = 65;

    bool operator==(const TXfRecord&) const = default;
};

// Integers in -2^29..2^29-1, and doubles whose bit pattern ends in 34 zero
// bits, fit an RK value; ×100 forms are used only where exact.
std::optional<std::uint32_t> EncodeRk(double value);
std::optional<std::uint32_t> EncodeRkInteger(std::int64_t value);
double DecodeRk(std::uint32_t rk);
bool IsRkInteger(std::uint32_t rk); // an integer without the ÷100 flag

// Any record from raw data; `data` must fit one record.
void AppendRecord(QByteArray& out, std::uint16_t id, QByteArrayView data);
void AppendEmpty(QByteArray& out, std::uint16_t id);
void AppendU16(QByteArray& out, std::uint16_t id, std::uint16_t value);

void AppendBof(QByteArray& out, TSubstream type);
void AppendWriteAccess(QByteArray& out, QStringView user);
void AppendTabId(QByteArray& out, int sheets);
void AppendWindow1(QByteArray& out, std::uint16_t activeSheet);
void AppendFont(QByteArray& out, const TFontRecord& font);
void AppendFormat(QByteArray& out, std::uint16_t id, QStringView format);
void AppendXf(QByteArray& out, const TXfRecord& xf);
void AppendStyleNormal(QByteArray& out);
// Returns the stream position of the sheet offset, to be patched with
// PatchU32 once the sheet's position is known.
qsizetype AppendBoundSheet(QByteArray& out, QStringView name);
void AppendCountry(QByteArray& out);
// The shared string table split over CONTINUE records as readers expect it,
// followed by its EXTSST index. `total` counts the cells that use it.
void AppendSst(QByteArray& out, const QList<QString>& strings, std::uint32_t total);
void PatchU32(QByteArray& out, qsizetype pos, std::uint32_t value);

void AppendDelta(QByteArray& out);
void AppendGuts(QByteArray& out);
void AppendDefaultRowHeight(QByteArray& out);
void AppendSetup(QByteArray& out);
void AppendColInfo(QByteArray& out, int firstCol, int lastCol, int width);
// Rows and columns as the record wants them: last row and column + 1.
void AppendDimensions(QByteArray& out, int firstRow, int rowEnd, int firstCol, int colEnd);
void AppendRow(QByteArray& out, int row, int firstCol, int colEnd);
void AppendWindow2(QByteArray& out, bool selected);

void AppendLabelSst(QByteArray& out, int row, int col, int xf, std::uint32_t index);
void AppendLabel(QByteArray& out, int row, int col, int xf, QStringView text);
void AppendNumber(QByteArray& out, int row, int col, int xf, double value);
void AppendRk(QByteArray& out, int row, int col, int xf, std::uint32_t rk);
struct TRkCell {
    std::uint16_t Xf;
    std::uint32_t Rk;
};
void AppendMulRk(QByteArray& out, int row, int firstCol, const TRkCell* cells, int count);
void AppendBlank(QByteArray& out, int row, int col, int xf);
void AppendMulBlank(QByteArray& out, int row, int firstCol, const std::uint16_t* xfs, int count);
void AppendBoolErr(QByteArray& out, int row, int col, int xf, int value, bool isError);

// Reading. Every read checks the bytes left and throws TSpreadsheetError
// with the stream offset of the record when they run out.
class TByteReader {
public:
    TByteReader(QByteArrayView data, qsizetype offset) : data_(data), offset_(offset) {}
    std::uint8_t U8();
    std::uint16_t U16();
    std::uint32_t U32();
    double F64();
    QByteArrayView Bytes(qsizetype n);
    void Skip(qsizetype n) { (void)Bytes(n); }
    qsizetype Left() const noexcept { return data_.size() - pos_; }
    // XLUnicodeString (16-bit count) or ShortXLUnicodeString (8-bit count).
    QString UnicodeString(bool shortCount);
    [[noreturn]] void Fail() const;

private:
    QByteArrayView data_;
    qsizetype offset_;
    qsizetype pos_ = 0;
};

struct TRecord {
    std::uint16_t Id = 0;
    qsizetype Offset = 0; // of the record header in the stream
    QByteArrayView Data;
    QList<QByteArrayView> Continues; // data of the CONTINUE records that follow
};

// Walks records from a stream position. Next() returns false at the end of
// the stream and throws TSpreadsheetError on a truncated record.
class TRecordReader {
public:
    TRecordReader(QByteArrayView stream, qsizetype pos) : stream_(stream), pos_(pos) {}
    bool Next(TRecord& record);
    qsizetype Pos() const noexcept { return pos_; }

private:
    QByteArrayView stream_;
    qsizetype pos_;
};

QList<QString> DecodeSst(const TRecord& record);
TFontRecord DecodeFont(const TRecord& record);
TXfRecord DecodeXf(const TRecord& record);

} // namespace foresyn::biff
