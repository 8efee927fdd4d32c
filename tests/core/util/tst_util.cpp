#include "core/util/codepage.h"
#include "core/util/numberformat.h"
#include "core/util/random.h"
#include "core/util/sheetname.h"

#include <QRegularExpression>
#include <QSet>
#include <QTest>

#include <cmath>
#include <cstdint>
#include <limits>
#include <thread>
#include <vector>

using namespace foresyn;

class TestUtil : public QObject {
    Q_OBJECT

private slots:
    void formatNumber_data();
    void formatNumber();
    void formatNumberSpecialValues_data();
    void formatNumberSpecialValues();
    void digitsMask_data();
    void digitsMask();

    void uniqueSheetName_data();
    void uniqueSheetName();
    void uniqueSheetNameAssignsSuccessiveCounters();

    void randomHexLength_data();
    void randomHexLength();
    void randomHexBytes();
    void randomId64UsesAllBits();
    void randomId64Distinct();
    void randomId64DistinctAcrossThreads();

    void decodeKnownBytes_data();
    void decodeKnownBytes();
    void roundTripEveryByte();
    void decodeMatchesBytewiseAtEveryOffset();
    void encode_data();
    void encode();
};

// ---------------------------------------------------------------- FormatNumber

void TestUtil::formatNumber_data() {
    QTest::addColumn<QString>("mask");
    QTest::addColumn<double>("value");
    QTest::addColumn<QChar>("decimal");
    QTest::addColumn<QChar>("thousands");
    QTest::addColumn<QString>("expected");
    const QChar dot('.');
    const QChar comma(',');

    // clang-format off
    QTest::newRow("grouping one decimal") << "#,##0.0" << 12345.123456789 << dot << comma << "12,345.1";
    QTest::newRow("two zeros pad") << "00" << 7.0 << dot << comma << "07";
    QTest::newRow("two zeros do not cut") << "00" << 123.0 << dot << comma << "123";
    QTest::newRow("percent does not scale") << "##0%" << 5.25 << dot << comma << "5%";
    QTest::newRow("percent one decimal") << "###0.0%" << 12.345 << dot << comma << "12.3%";
    QTest::newRow("percent grouped") << "#,##0.0%" << 1234.56 << dot << comma << "1,234.6%";
    QTest::newRow("round half up") << "#,##0.00" << 0.125 << dot << comma << "0.13";
    QTest::newRow("shortest form tie") << "#,##0.00" << 2.675 << dot << comma << "2.68";
    QTest::newRow("shortest form tie 1.005") << "#,##0.00" << 1.005 << dot << comma << "1.01";
    QTest::newRow("integer tie") << "#,##0" << 2.5 << dot << comma << "3";
    QTest::newRow("negative tie away from zero") << "#,##0" << -1234567.5 << dot << comma << "-1,234,568";
    QTest::newRow("negative below half") << "#,##0" << -0.49 << dot << comma << "0";
    QTest::newRow("carry into new digit") << "#,##0.00" << 999.995 << dot << comma << "1,000.00";
    QTest::newRow("carry through all nines") << "#,##0" << 999999.5 << dot << comma << "1,000,000";
    QTest::newRow("locale separators") << "#,##0.00" << 1234.5 << comma << dot << "1.234,50";
    QTest::newRow("tiny rounds to zero") << "#,##0.00" << 0.004 << dot << comma << "0.00";
    QTest::newRow("negative tiny has no sign") << "#,##0.00" << -0.004 << dot << comma << "0.00";
    QTest::newRow("negative zero") << "#,##0" << -0.0 << dot << comma << "0";
    QTest::newRow("zero with decimals") << "#,##0.000" << 0.0 << dot << comma << "0.000";
    QTest::newRow("1e15 grouped") << "#,##0" << 1e15 << dot << comma << "1,000,000,000,000,000";
    QTest::newRow("1e20 beyond int64") << "#,##0" << 1e20 << dot << comma << "100,000,000,000,000,000,000";
    QTest::newRow("no grouping below 1000") << "#,##0" << 999.0 << dot << comma << "999";
    QTest::newRow("group boundary") << "#,##0" << 1000.0 << dot << comma << "1,000";
    QTest::newRow("no comma no grouping") << "###0.0" << 1234567.0 << dot << comma << "1234567.0";
    QTest::newRow("many decimals are not binary noise") << "0.0000000000" << 0.1 << dot << comma << "0.1000000000";
    QTest::newRow("small value many decimals") << "#,##0.000000" << 0.0000125 << dot << comma << "0.000013";
    QTest::newRow("tiny exponent") << "#,##0.00" << 1e-300 << dot << comma << "0.00";
    QTest::newRow("point without decimals") << "#,##0." << 1234.56 << dot << comma << "1,235";
    QTest::newRow("point without decimals small") << "#,##0." << 0.4 << dot << comma << "0";
    QTest::newRow("prefix and suffix") << "$#,##0.00 k" << 1234.567 << dot << comma << "$1,234.57 k";
    QTest::newRow("negative sign before prefix") << "$#,##0.00 k" << -1234.567 << dot << comma << "-$1,234.57 k";
    QTest::newRow("text prefix") << "EUR #,##0" << 1500.0 << dot << comma << "EUR 1,500";
    QTest::newRow("prefix rounds to zero") << "EUR #,##0" << -0.2 << dot << comma << "EUR 0";
    QTest::newRow("digit in suffix is literal after pattern") << "#,##0 m3x" << 5.0 << dot << comma << "5 m3x";
    QTest::newRow("hash integer part may be empty") << "#.00" << 0.5 << dot << comma << ".50";
    QTest::newRow("hash decimals drop zeros") << "0.0#" << 1.5 << dot << comma << "1.5";
    QTest::newRow("hash decimals keep digit") << "0.0#" << 1.25 << dot << comma << "1.25";
    QTest::newRow("hash decimals all dropped") << "0.##" << 3.0 << dot << comma << "3";
    QTest::newRow("zeros are grouped too") << "0,000" << 5.0 << dot << comma << "0,005";
    QTest::newRow("semicolon section ignored") << "#,##0;#,##0" << -42.0 << dot << comma << "-42";
    QTest::newRow("no digit pattern") << "Total " << 12.6 << dot << comma << "Total 13";
    QTest::newRow("empty mask") << "" << 0.0 << dot << comma << "0";
    QTest::newRow("largest double") << "0" << std::numeric_limits<double>::max() << dot << comma
                                   << "17976931348623157" + QString(292, '0');
    // clang-format on
}

void TestUtil::formatNumber() {
    QFETCH(QString, mask);
    QFETCH(double, value);
    QFETCH(QChar, decimal);
    QFETCH(QChar, thousands);
    QFETCH(QString, expected);
    QCOMPARE(FormatNumber(mask, value, decimal, thousands), expected);
}

void TestUtil::formatNumberSpecialValues_data() {
    QTest::addColumn<QString>("mask");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("expected");
    const double inf = std::numeric_limits<double>::infinity();
    QTest::newRow("nan") << "$#,##0.00 k" << std::numeric_limits<double>::quiet_NaN() << "NaN";
    QTest::newRow("inf") << "$#,##0.00 k" << inf << "$INF k";
    QTest::newRow("minus inf") << "$#,##0.00 k" << -inf << "-$INF k";
}

void TestUtil::formatNumberSpecialValues() {
    QFETCH(QString, mask);
    QFETCH(double, value);
    QFETCH(QString, expected);
    QCOMPARE(FormatNumber(mask, value), expected);
}

void TestUtil::digitsMask_data() {
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QString>("mask");
    QTest::newRow("negative") << -1 << "#,##0";
    QTest::newRow("zero") << 0 << "#,##0";
    QTest::newRow("one") << 1 << "#,##0.0";
    QTest::newRow("three") << 3 << "#,##0.000";
}

void TestUtil::digitsMask() {
    QFETCH(int, decimals);
    QFETCH(QString, mask);
    QCOMPARE(DigitsMask(decimals), mask);
    // The mask shows exactly that many decimals.
    const QString fraction = decimals > 0 ? "." + QString(decimals, '0') : QString();
    QCOMPARE(FormatNumber(mask, 1000.0), "1,000" + fraction);
}

// ------------------------------------------------------------- UniqueSheetName

void TestUtil::uniqueSheetName_data() {
    QTest::addColumn<QString>("wanted");
    QTest::addColumn<QStringList>("used");
    QTest::addColumn<QString>("expected");

    const QString region = "Sales/Region [A]";
    const QString forty = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmn";
    QVERIFY(forty.size() == 40);

    QTest::newRow("forbidden characters") << region << QStringList() << "Sales-Region {A}";
    QTest::newRow("all forbidden characters")
        << "a[b]c/d\\e*f?g:h" << QStringList() << "a{b}c-d-e-f-g-h";
    QTest::newRow("second use gets 02")
        << region << QStringList{"Sales-Region {A}"} << "Sales-Region {A}02";
    QTest::newRow("third use gets 03")
        << region << QStringList{"Sales-Region {A}", "Sales-Region {A}02"} << "Sales-Region {A}03";
    QTest::newRow("case ignored") << "Sales" << QStringList{"SALES"} << "Sales02";
    QTest::newRow("case ignored on counters")
        << "Sales" << QStringList{"sales", "SALES02"} << "Sales03";
    QTest::newRow("gap is filled") << "Sales" << QStringList{"Sales", "Sales03"} << "Sales02";
    QTest::newRow("other names do not matter") << "Sales" << QStringList{"Sales02"} << "Sales";
    QTest::newRow("forty characters cut to 31") << forty << QStringList() << forty.left(31);
    QTest::newRow("forty characters taken")
        << forty << QStringList{forty.left(31)} << forty.left(29) + "02";
    QTest::newRow("exactly 31 kept") << forty.left(31) << QStringList() << forty.left(31);
    QTest::newRow("empty name") << "" << QStringList() << "";
    QTest::newRow("empty name taken") << "" << QStringList{""} << "02";
    QTest::newRow("surrogate pair not split")
        << QString(30, 'x') + QString::fromUtf8("\xF0\x9F\x98\x80") << QStringList()
        << QString(30, 'x');
}

void TestUtil::uniqueSheetName() {
    QFETCH(QString, wanted);
    QFETCH(QStringList, used);
    QFETCH(QString, expected);
    QCOMPARE(UniqueSheetName(wanted, used), expected);
}

void TestUtil::uniqueSheetNameAssignsSuccessiveCounters() {
    // The caller adds every assigned name; long names must stay valid even
    // past the two-digit counters.
    const QString wanted = QString(40, 'n');
    QStringList used;
    for (int i = 0; i < 120; ++i) {
        const QString name = UniqueSheetName(wanted, used);
        QVERIFY2(name.size() <= 31, qPrintable(name));
        QVERIFY2(!used.contains(name, Qt::CaseInsensitive), qPrintable(name));
        used.append(name);
    }
    QCOMPARE(used.at(0), QString(31, 'n'));
    QCOMPARE(used.at(1), QString(29, 'n') + "02");
    QCOMPARE(used.at(98), QString(29, 'n') + "99");
    QCOMPARE(used.at(99), QString(28, 'n') + "100");
    // An explicit counter starts there.
    QCOMPARE(UniqueSheetName("Sheet", {}, 1), QString("Sheet01"));
    QCOMPARE(UniqueSheetName("Sheet", {"Sheet05"}, 5), QString("Sheet06"));
}

// -------------------------------------------------------------- RandomHex / Id

void TestUtil::randomHexLength_data() {
    QTest::addColumn<int>("n");
    QTest::addColumn<int>("length");
    QTest::newRow("16") << 16 << 16;
    QTest::newRow("15") << 15 << 14;
    QTest::newRow("2") << 2 << 2;
    QTest::newRow("1") << 1 << 0;
    QTest::newRow("0") << 0 << 0;
    QTest::newRow("negative") << -4 << 0;
}

void TestUtil::randomHexLength() {
    QFETCH(int, n);
    QFETCH(int, length);
    QCOMPARE(RandomHex(n).size(), length);
}

void TestUtil::randomHexBytes() {
    // Every byte 0..254 appears and 255 never does; with a generator that drew
    // 0..255, "FF" would show about 500 times in these 128,000 pairs.
    static const QRegularExpression upperHex("^[0-9A-F]{32}$");
    std::vector<int> seen(256, 0);
    for (int draw = 0; draw < 4000; ++draw) {
        const QString hex = RandomHex(32);
        QVERIFY2(upperHex.match(hex).hasMatch(), qPrintable(hex));
        for (int i = 0; i < hex.size(); i += 2) {
            bool ok = false;
            const int b = hex.mid(i, 2).toInt(&ok, 16);
            QVERIFY(ok);
            ++seen[b];
        }
    }
    QCOMPARE(seen[255], 0);
    for (int b = 0; b < 255; ++b)
        QVERIFY2(seen[b] > 0, qPrintable(QString::number(b)));
}

void TestUtil::randomId64UsesAllBits() {
    // The fold of three 31-bit draws shifted by 24 covers all 64 bits, so the
    // sign bit varies too.
    std::uint64_t any = 0;
    std::uint64_t all = ~std::uint64_t(0);
    for (int i = 0; i < 2000; ++i) {
        const auto v = static_cast<std::uint64_t>(RandomId64());
        any |= v;
        all &= v;
    }
    QCOMPARE(any, ~std::uint64_t(0));
    QCOMPARE(all, std::uint64_t(0));
}

void TestUtil::randomId64Distinct() {
    QSet<qint64> ids;
    const int count = 100000;
    ids.reserve(count);
    for (int i = 0; i < count; ++i)
        ids.insert(RandomId64());
    QCOMPARE(ids.size(), count);
}

void TestUtil::randomId64DistinctAcrossThreads() {
    // Threads started together must not share a seed.
    const int perThread = 1000;
    std::vector<qint64> a(perThread);
    std::vector<qint64> b(perThread);
    std::thread first([&] {
        for (auto& v : a)
            v = RandomId64();
    });
    std::thread second([&] {
        for (auto& v : b)
            v = RandomId64();
    });
    first.join();
    second.join();
    QSet<qint64> ids(a.begin(), a.end());
    ids.unite(QSet<qint64>(b.begin(), b.end()));
    QCOMPARE(ids.size(), 2 * perThread);
}

// -------------------------------------------------------------- Windows-1252

void TestUtil::decodeKnownBytes_data() {
    QTest::addColumn<int>("byte");
    QTest::addColumn<int>("codePoint");
    QTest::newRow("NUL") << 0x00 << 0x0000;
    QTest::newRow("A") << 0x41 << 0x0041;
    QTest::newRow("DEL") << 0x7F << 0x007F;
    QTest::newRow("euro") << 0x80 << 0x20AC;
    QTest::newRow("undefined 81") << 0x81 << 0x0081;
    QTest::newRow("low quote") << 0x82 << 0x201A;
    QTest::newRow("S caron") << 0x8A << 0x0160;
    QTest::newRow("undefined 8D") << 0x8D << 0x008D;
    QTest::newRow("undefined 8F") << 0x8F << 0x008F;
    QTest::newRow("undefined 90") << 0x90 << 0x0090;
    QTest::newRow("left quote") << 0x93 << 0x201C;
    QTest::newRow("trade mark") << 0x99 << 0x2122;
    QTest::newRow("undefined 9D") << 0x9D << 0x009D;
    QTest::newRow("Y diaeresis") << 0x9F << 0x0178;
    QTest::newRow("no-break space") << 0xA0 << 0x00A0;
    QTest::newRow("e acute") << 0xE9 << 0x00E9;
    QTest::newRow("y diaeresis") << 0xFF << 0x00FF;
}

void TestUtil::decodeKnownBytes() {
    QFETCH(int, byte);
    QFETCH(int, codePoint);
    const QByteArray bytes(1, char(byte));
    const QString text = DecodeWindows1252(bytes);
    QCOMPARE(text.size(), 1);
    QCOMPARE(int(text.at(0).unicode()), codePoint);
    QCOMPARE(EncodeWindows1252(text), bytes);
    QVERIFY(IsWindows1252Encodable(text));
}

void TestUtil::roundTripEveryByte() {
    QByteArray bytes;
    for (int b = 0; b < 256; ++b)
        bytes.append(char(b));
    const QString text = DecodeWindows1252(bytes);
    QCOMPARE(text.size(), 256);
    QCOMPARE(QSet<QChar>(text.begin(), text.end()).size(), 256); // no two bytes share a character
    QVERIFY(IsWindows1252Encodable(text));
    QCOMPARE(EncodeWindows1252(text), bytes);
}

void TestUtil::decodeMatchesBytewiseAtEveryOffset() {
    // Bytes of 0x80..0x9F are found a block at a time; put each byte at
    // every position of a block and past the last full block, inside plain
    // text, and compare with the single-byte result.
    for (int b = 0; b < 256; ++b) {
        const QChar expected = DecodeWindows1252(QByteArray(1, char(b))).at(0);
        for (int length : {15, 16, 17, 40}) {
            for (int at = 0; at < length; ++at) {
                QByteArray bytes(length, 'x');
                bytes[at] = char(b);
                bytes[length - 1 - at] = char(0xE9); // a Latin-1 byte elsewhere
                if (length - 1 - at == at)
                    continue;
                const QString text = DecodeWindows1252(bytes);
                QCOMPARE(text.size(), length);
                QCOMPARE(text.at(at), expected);
                QCOMPARE(text.at(length - 1 - at), QChar(0xE9));
                QCOMPARE(text.count(QChar('x')), length - 2 + (b == 'x' ? 1 : 0));
            }
        }
    }
    QCOMPARE(DecodeWindows1252(QByteArrayView()), QString());
}

void TestUtil::encode_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("encodable");
    QTest::newRow("empty") << QString() << QByteArray() << true;
    QTest::newRow("plain") << "Sales 2008" << QByteArray("Sales 2008") << true;
    QTest::newRow("euro and umlaut")
        << QString::fromUtf8("\xE2\x82\xAC 5 \xC3\xBC") << QByteArray("\x80 5 \xFC") << true;
    QTest::newRow("han character") << QString::fromUtf8("a\xE4\xB8\xAD"
                                                        "b")
                                   << QByteArray("a?b") << false;
    QTest::newRow("emoji is one question mark") << QString::fromUtf8("a\xF0\x9F\x98\x80"
                                                                     "b")
                                                << QByteArray("a?b") << false;
    QTest::newRow("two emoji") << QString::fromUtf8("\xF0\x9F\x98\x80\xF0\x9F\x98\x81")
                               << QByteArray("??") << false;
    QTest::newRow("lone high surrogate")
        << QString(QChar(0xD83D)) + "x" << QByteArray("?x") << false;
    QTest::newRow("lone low surrogate")
        << "x" + QString(QChar(0xDE00)) << QByteArray("x?") << false;
    QTest::newRow("C1 control 80 has no byte")
        << QString(QChar(0x0080)) << QByteArray("?") << false;
    QTest::newRow("C1 control 9F has no byte")
        << QString(QChar(0x009F)) << QByteArray("?") << false;
    QTest::newRow("A macron") << QString(QChar(0x0100)) << QByteArray("?") << false;
}

void TestUtil::encode() {
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, encodable);
    QCOMPARE(EncodeWindows1252(text), bytes);
    QCOMPARE(IsWindows1252Encodable(text), encodable);
}

QTEST_GUILESS_MAIN(TestUtil)
#include "tst_util.moc"
