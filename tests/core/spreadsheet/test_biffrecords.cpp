#include "core/spreadsheet/biffrecords.h"
#include "core/spreadsheet/spreadsheeterror.h"

#include <QTest>
#include <QtEndian>

#include <cmath>
#include <limits>

using namespace foresyn;
using namespace foresyn::biff;

namespace {

enum class TRkForm { Integer, Float, Integer100, Float100, None };

TRkForm FormOf(std::optional<std::uint32_t> rk) {
    if (!rk)
        return TRkForm::None;
    switch (*rk & 3u) {
    case 0:
        return TRkForm::Float;
    case 1:
        return TRkForm::Float100;
    case 2:
        return TRkForm::Integer;
    default:
        return TRkForm::Integer100;
    }
}

QByteArray Hex(const char* spaced) {
    return QByteArray::fromHex(QByteArray(spaced).replace(' ', ""));
}

// Every record of an SST and its CONTINUEs as (id, data) pairs, plus EXTSST.
struct TPiece {
    std::uint16_t Id;
    qsizetype Header;
    QByteArray Data;
};

QList<TPiece> Pieces(const QByteArray& out) {
    QList<TPiece> pieces;
    for (qsizetype pos = 0; pos + 4 <= out.size();) {
        const auto id = qFromLittleEndian<std::uint16_t>(out.constData() + pos);
        const auto len = qFromLittleEndian<std::uint16_t>(out.constData() + pos + 2);
        pieces.append({id, pos, out.mid(pos + 4, len)});
        pos += 4 + len;
    }
    return pieces;
}

} // namespace

Q_DECLARE_METATYPE(TRkForm)

class TestBiffRecords : public QObject {
    Q_OBJECT

private slots:
    void rk_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<TRkForm>("form");
        QTest::newRow("zero") << 0.0 << TRkForm::Float;
        QTest::newRow("3.25") << 3.25 << TRkForm::Float;
        QTest::newRow("-0.5") << -0.5 << TRkForm::Float;
        QTest::newRow("2^29") << 536870912.0 << TRkForm::Float;
        QTest::newRow("0.1 as 10.0/100") << 0.1 << TRkForm::Float100;
        QTest::newRow("12.34 as 1234.0/100") << 12.34 << TRkForm::Float100;
        QTest::newRow("-1234.56") << -1234.56 << TRkForm::Float100;
        QTest::newRow("1234567.89 as 123456789/100") << 1234567.89 << TRkForm::Integer100;
        QTest::newRow("-5368709.11 as (1-2^29)/100") << -5368709.11 << TRkForm::Integer100;
        QTest::newRow("1/3") << 1.0 / 3.0 << TRkForm::None;
        QTest::newRow("1e300") << 1e300 << TRkForm::None;
        QTest::newRow("123456789.5") << 123456789.5 << TRkForm::None;
        QTest::newRow("smallest denormal")
            << std::numeric_limits<double>::denorm_min() << TRkForm::None;
    }

    // What the encoder picks must decode to the very same double.
    void rk() {
        QFETCH(double, value);
        QFETCH(TRkForm, form);
        const auto rk = EncodeRk(value);
        QCOMPARE(FormOf(rk), form);
        if (rk)
            QCOMPARE(std::bit_cast<std::uint64_t>(DecodeRk(*rk)),
                     std::bit_cast<std::uint64_t>(value));
    }

    void rkInteger_data() {
        QTest::addColumn<qint64>("value");
        QTest::addColumn<bool>("fits");
        QTest::newRow("0") << qint64(0) << true;
        QTest::newRow("2008") << qint64(2008) << true;
        QTest::newRow("-1") << qint64(-1) << true;
        QTest::newRow("2^29-1") << qint64((1 << 29) - 1) << true;
        QTest::newRow("-2^29") << qint64(-(1 << 29)) << true;
        QTest::newRow("2^29") << qint64(1 << 29) << false;
        QTest::newRow("-2^29-1") << qint64(-(1 << 29) - 1) << false;
    }

    void rkInteger() {
        QFETCH(qint64, value);
        QFETCH(bool, fits);
        const auto rk = EncodeRkInteger(value);
        QCOMPARE(rk.has_value(), fits);
        if (rk) {
            QVERIFY(IsRkInteger(*rk));
            QCOMPARE(DecodeRk(*rk), double(value));
        }
    }

    void records_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("expected");
        QByteArray out;

        TXfRecord xf; // right-aligned "#,##0.00" with a thin black bottom border
        xf.Format = 164;
        xf.HAlign = 3;
        xf.UsedAttributes = 0xFC;
        xf.BorderStyle[3] = 1;
        xf.BorderColour[3] = 8;
        AppendXf(out, xf);
        QTest::newRow("XF right, thin bottom")
            << out << Hex("E000 1400 0000 A400 0100 23 00 00 FC 00100000 00040000 C020");

        out.clear();
        TXfRecord filled; // solid silver fill, medium red left, hair black top
        filled.Font = 5;
        filled.HAlign = 2;
        filled.UsedAttributes = 0xFC;
        filled.BorderStyle = {2, 0, 7, 0};
        filled.BorderColour = {10, 0, 8, 0};
        filled.FillPattern = 1;
        filled.FillForeground = 22;
        AppendXf(out, filled);
        QTest::newRow("XF fill and borders")
            << out << Hex("E000 1400 0500 0000 0100 22 00 00 FC 02070A00 08000004 9620");

        out.clear();
        TXfRecord style;
        style.IsStyle = true;
        style.UsedAttributes = 0xF4;
        AppendXf(out, style);
        QTest::newRow("style XF")
            << out << Hex("E000 1400 0000 0000 F5FF 20 00 00 F4 00000000 00000000 C020");

        out.clear();
        AppendFont(out, {200, false, 0x7FFF, QStringLiteral("Arial")});
        QTest::newRow("FONT Latin-1")
            << out << Hex("3100 1500 C800 0000 FF7F 9001 0000 00 00 00 00 05 00 417269616C");

        out.clear();
        AppendFont(out, {360, true, 10, QStringLiteral("\u0394")});
        QTest::newRow("FONT bold UTF-16")
            << out << Hex("3100 1200 6801 0100 0A00 BC02 0000 00 00 00 00 01 01 9403");

        out.clear();
        AppendFormat(out, 164, u"#,##0.00");
        QTest::newRow("FORMAT") << out << Hex("1E04 0D00 A400 0800 00 232C2323302E3030");

        out.clear();
        PatchU32(out, AppendBoundSheet(out, u"Sheet1") - 0, 0x1234);
        QTest::newRow("BOUNDSHEET patched")
            << out << Hex("8500 0E00 34120000 00 00 06 00 536865657431");

        out.clear();
        AppendBoundSheet(out, u"\u00DCber \u20AC");
        QTest::newRow("BOUNDSHEET UTF-16")
            << out << Hex("8500 1400 00000000 00 00 06 01 DC00 6200 6500 7200 2000 AC20");

        out.clear();
        AppendLabelSst(out, 13, 2, 15, 7);
        QTest::newRow("LABELSST") << out << Hex("FD00 0A00 0D00 0200 0F00 07000000");

        out.clear();
        AppendNumber(out, 0, 0, 15, 1.5);
        QTest::newRow("NUMBER") << out << Hex("0302 0E00 0000 0000 0F00 000000000000F83F");

        out.clear();
        const TRkCell rks[2] = {{15, *EncodeRkInteger(2)}, {16, *EncodeRk(3.25)}};
        AppendMulRk(out, 0, 1, rks, 2);
        QTest::newRow("MULRK") << out
                               << Hex("BD00 1200 0000 0100 0F00 0A000000 1000 00000A40 0200");

        out.clear();
        const std::uint16_t xfs[3] = {16, 17, 18};
        AppendMulBlank(out, 1, 2, xfs, 3);
        QTest::newRow("MULBLANK") << out << Hex("BE00 0C00 0100 0200 1000 1100 1200 0400");

        out.clear();
        AppendColInfo(out, 0, 255, 2500);
        QTest::newRow("COLINFO") << out << Hex("7D00 0C00 0000 FF00 C409 0F00 0200 0000");

        out.clear();
        AppendDimensions(out, 2, 10, 1, 16);
        QTest::newRow("DIMENSIONS") << out << Hex("0002 0E00 02000000 0A000000 0100 1000 0000");

        out.clear();
        AppendWindow2(out, true);
        QTest::newRow("WINDOW2 selected")
            << out << Hex("3E02 1200 B606 0000 0000 4000 0000 0000 0000 00000000");
    }

    void records() {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, expected);
        QCOMPARE(bytes.toHex(' '), expected.toHex(' '));
    }

    void sst_data() {
        QTest::addColumn<QStringList>("strings");
        // The first record holds 8 bytes of counts, then 8216 bytes of strings.
        QTest::newRow("short") << QStringList{"a", "b\u0394", "Round 1"};
        QTest::newRow("ends exactly at 8224")
            << QStringList{QString(8213, u'a'), QStringLiteral("next")};
        QTest::newRow("header would straddle")
            << QStringList{QString(8212, u'a'), QStringLiteral("next")};
        QTest::newRow("Latin-1 crossing") << QStringList{QString(9000, u'\u00E9')};
        QTest::newRow("UTF-16 crossing after an odd number of free bytes")
            << QStringList{QString(8207, u'a'), QString(3000, u'\u0394')};
        QTest::newRow("surrogate pair at the boundary")
            << QStringList{QString(8205, u'a'), QString::fromUtf8("a\U0001F600b")};
        QTest::newRow("surrogate pair first")
            << QStringList{QString(8207, u'a'), QString::fromUtf8("\U0001F600b")};
        QStringList many;
        for (int i = 0; i < 3000; ++i)
            many << QStringLiteral("String %1 \u00FC").arg(i) + (i % 5 ? "" : "\u0394");
        QTest::newRow("3000 strings, EXTSST buckets") << many;
        QTest::newRow("three long records")
            << QStringList{QString(20000, u'x'), QString(9000, u'\u4E2D'), QStringLiteral("z")};
    }

    void sst() {
        QFETCH(QStringList, strings);
        QByteArray out;
        AppendSst(out, strings, 12345);
        const QList<TPiece> pieces = Pieces(out);
        QVERIFY(pieces.size() >= 2);
        QCOMPARE(pieces.front().Id, std::uint16_t(kSst));
        QCOMPARE(pieces.back().Id, std::uint16_t(kExtSst));
        for (int i = 1; i + 1 < pieces.size(); ++i)
            QCOMPARE(pieces[i].Id, std::uint16_t(kContinue));
        for (const TPiece& p : pieces)
            QVERIFY(p.Data.size() <= kMaxRecordData);

        TRecordReader reader(out, 0);
        TRecord record;
        QVERIFY(reader.Next(record));
        QCOMPARE(record.Continues.size(), pieces.size() - 2);
        QCOMPARE(DecodeSst(record), strings);

        // No piece may end with half of a UTF-16 unit or of a surrogate pair.
        for (int i = 0; i + 2 < pieces.size(); ++i) {
            const QByteArray& next = pieces[i + 1].Data;
            QVERIFY(next.size() >= 1);
            const quint8 flags = quint8(next[0]);
            // A CONTINUE starts either with the flags byte of characters that
            // go on, or with the count of a whole new string.
            if (flags == 1 && next.size() >= 3) {
                const auto unit = qFromLittleEndian<char16_t>(next.constData() + 1);
                QVERIFY2(!QChar::isLowSurrogate(unit), "a surrogate pair split over two records");
            }
        }

        // EXTSST: each bucket points at the count field of every dsst-th string.
        const QByteArray& ext = pieces.back().Data;
        const auto dsst = qFromLittleEndian<std::uint16_t>(ext.constData());
        QCOMPARE(int(dsst), std::max(int(strings.size() / 128 + 1), 8));
        const int buckets = int((ext.size() - 2) / 8);
        QCOMPARE(buckets, int((strings.size() + dsst - 1) / dsst));
        for (int b = 0; b < buckets; ++b) {
            const auto ib = qFromLittleEndian<std::uint32_t>(ext.constData() + 2 + 8 * b);
            const auto cb = qFromLittleEndian<std::uint16_t>(ext.constData() + 6 + 8 * b);
            const QString& s = strings[b * dsst];
            QCOMPARE(qFromLittleEndian<std::uint16_t>(out.constData() + ib),
                     std::uint16_t(s.size()));
            qsizetype header = 0;
            for (const TPiece& p : pieces) {
                if (p.Header < qsizetype(ib))
                    header = p.Header;
            }
            QCOMPARE(qsizetype(cb), qsizetype(ib) - header);
        }
    }

    // The character data of a string that goes on in a CONTINUE starts
    // with the flags byte again, for 8-bit and for UTF-16 strings alike.
    void sstRepeatsFlagsByte() {
        QByteArray out;
        AppendSst(out, {QString(9000, u'a'), QString(9000, u'\u0394')}, 2);
        const QList<TPiece> pieces = Pieces(out);
        QCOMPARE(quint8(pieces[1].Data[0]), quint8(0x00));
        QCOMPARE(pieces[1].Data.mid(1, 3), QByteArray("aaa"));
        // The UTF-16 string starts in the first CONTINUE and crosses into the second.
        QCOMPARE(quint8(pieces[2].Data[0]), quint8(0x01));
        QCOMPARE(pieces[2].Data.mid(1, 2), Hex("9403"));
    }

    void recordReader() {
        QByteArray stream;
        AppendU16(stream, kCodePage, 0x04B0);
        AppendRecord(stream, kSst, "ab");
        AppendRecord(stream, kContinue, "cd");
        AppendRecord(stream, kContinue, "");
        AppendEmpty(stream, kEof);
        TRecordReader reader(stream, 0);
        TRecord r;
        QVERIFY(reader.Next(r));
        QCOMPARE(r.Id, std::uint16_t(kCodePage));
        QVERIFY(reader.Next(r));
        QCOMPARE(r.Id, std::uint16_t(kSst));
        QCOMPARE(r.Offset, qsizetype(6));
        QCOMPARE(r.Continues.size(), 2);
        QCOMPARE(QByteArray(r.Continues[0].data(), 2), QByteArray("cd"));
        QVERIFY(reader.Next(r));
        QCOMPARE(r.Id, std::uint16_t(kEof));
        QVERIFY(!reader.Next(r));
    }

    void recordReaderRefusesTruncated_data() {
        QTest::addColumn<QByteArray>("stream");
        QTest::newRow("header cut") << Hex("0908 10");
        QTest::newRow("data past the end") << Hex("0908 1000 0006");
        QTest::newRow("continue past the end") << Hex("FC00 0000 3C00 0500 00");
    }

    void recordReaderRefusesTruncated() {
        QFETCH(QByteArray, stream);
        TRecordReader reader(stream, 0);
        TRecord r;
        QVERIFY_THROWS_EXCEPTION(TSpreadsheetError, reader.Next(r));
    }

    void decodeDamagedPieces_data() {
        QTest::addColumn<QByteArray>("data");
        QTest::newRow("string longer than the data") << Hex("01000000 01000000 0500 00 6162");
        QTest::newRow("odd UTF-16 byte") << Hex("01000000 01000000 0100 01 94");
        QTest::newRow("counts cut") << Hex("010000");
        QTest::newRow("rich-text runs past the end") << Hex("01000000 01000000 0100 08 FFFF 61");
    }

    void decodeDamagedPieces() {
        QFETCH(QByteArray, data);
        QByteArray stream;
        AppendRecord(stream, kSst, data);
        TRecordReader reader(stream, 0);
        TRecord r;
        QVERIFY(reader.Next(r));
        QVERIFY_THROWS_EXCEPTION(TSpreadsheetError, DecodeSst(r));
    }

    // A table that claims millions of strings it does not hold reads what is there.
    void sstCountIsNotTrusted() {
        QByteArray stream;
        AppendRecord(stream, kSst, Hex("01000000 FFFFFFFF 0100 00 61"));
        TRecordReader reader(stream, 0);
        TRecord r;
        QVERIFY(reader.Next(r));
        QCOMPARE(DecodeSst(r), QList<QString>{QStringLiteral("a")});
    }

    void fontAndXfDecodeWhatIsEncoded() {
        QByteArray out;
        const TFontRecord font{250, true, 23, QStringLiteral("Trebuchet MS")};
        AppendFont(out, font);
        TXfRecord xf;
        xf.Font = 6;
        xf.Format = 170;
        xf.HAlign = 3;
        xf.UsedAttributes = 0xFC;
        xf.BorderStyle = {1, 2, 5, 7};
        xf.BorderColour = {8, 10, 63, 64};
        xf.FillPattern = 1;
        xf.FillForeground = 43;
        AppendXf(out, xf);
        TRecordReader reader(out, 0);
        TRecord r;
        QVERIFY(reader.Next(r));
        QCOMPARE(DecodeFont(r), font);
        QVERIFY(reader.Next(r));
        QCOMPARE(DecodeXf(r), xf);
    }
};

#include "test_biffrecords.moc"

int RunBiffRecordTests(int argc, char** argv) {
    TestBiffRecords t;
    return QTest::qExec(&t, argc, argv);
}
