#include "core/spreadsheet/compoundfile.h"
#include "core/spreadsheet/spreadsheeterror.h"

#include <QTest>
#include <QtEndian>

#include <functional>

using namespace foresyn;

namespace {

QByteArray Pattern(qsizetype n) {
    QByteArray b(n, Qt::Uninitialized);
    for (qsizetype i = 0; i < n; ++i)
        b[i] = char((i * 7 + i / 251) & 0xFF);
    return b;
}

void Set32(QByteArray& b, qsizetype at, std::uint32_t v) {
    qToLittleEndian(v, b.data() + at);
}

std::uint32_t Get32(const QByteArray& b, qsizetype at) {
    return qFromLittleEndian<std::uint32_t>(b.constData() + at);
}

// Offset of sector n in a version-3 file.
qsizetype At(qsizetype n) {
    return 512 * (1 + n);
}

void PutName(QByteArray& file, qsizetype entry, QStringView name) {
    for (qsizetype i = 0; i < name.size(); ++i)
        qToLittleEndian<std::uint16_t>(name[i].unicode(), file.data() + entry + 2 * i);
    qToLittleEndian<std::uint16_t>(std::uint16_t(2 * (name.size() + 1)),
                                   file.data() + entry + 0x40);
}

// A file as other programs write small workbooks: the stream lives in the
// mini stream (64-byte sectors) inside the root entry's own chain.
// Sectors: 0 FAT, 1 directory, 2 mini FAT, 3.. the mini stream.
QByteArray MiniStreamFile(const QByteArray& stream) {
    const qsizetype miniSectors = (stream.size() + 63) / 64;
    const qsizetype miniBytes = miniSectors * 64;
    const qsizetype containerSectors = (miniBytes + 511) / 512;
    QByteArray file(At(3 + containerSectors), '\0');
    file.replace(0, 8, QByteArray::fromHex("D0CF11E0A1B11AE1"));
    qToLittleEndian<std::uint16_t>(0x3E, file.data() + 0x18);
    qToLittleEndian<std::uint16_t>(3, file.data() + 0x1A);
    qToLittleEndian<std::uint16_t>(0xFFFE, file.data() + 0x1C);
    qToLittleEndian<std::uint16_t>(9, file.data() + 0x1E);
    qToLittleEndian<std::uint16_t>(6, file.data() + 0x20);
    Set32(file, 0x2C, 1);
    Set32(file, 0x30, 1);
    Set32(file, 0x38, 4096);
    Set32(file, 0x3C, 2);
    Set32(file, 0x40, 1);
    Set32(file, 0x44, 0xFFFFFFFE);
    for (int i = 0; i < 109; ++i)
        Set32(file, 0x4C + 4 * i, i == 0 ? 0 : 0xFFFFFFFF);
    for (int i = 0; i < 128; ++i)
        Set32(file, At(0) + 4 * i, 0xFFFFFFFF);
    Set32(file, At(0), 0xFFFFFFFD);
    Set32(file, At(0) + 4, 0xFFFFFFFE);
    Set32(file, At(0) + 8, 0xFFFFFFFE);
    for (qsizetype s = 0; s < containerSectors; ++s)
        Set32(file, At(0) + 4 * (3 + s),
              s + 1 < containerSectors ? std::uint32_t(4 + s) : 0xFFFFFFFE);
    for (int i = 0; i < 128; ++i)
        Set32(file, At(2) + 4 * i, 0xFFFFFFFF);
    for (qsizetype s = 0; s < miniSectors; ++s)
        Set32(file, At(2) + 4 * s, s + 1 < miniSectors ? std::uint32_t(s + 1) : 0xFFFFFFFE);
    const qsizetype root = At(1), wb = At(1) + 128;
    PutName(file, root, u"Root Entry");
    file[root + 0x42] = 5;
    Set32(file, root + 0x44, 0xFFFFFFFF);
    Set32(file, root + 0x48, 0xFFFFFFFF);
    Set32(file, root + 0x4C, 1);
    Set32(file, root + 0x74, 3);
    Set32(file, root + 0x78, std::uint32_t(miniBytes));
    PutName(file, wb, u"Workbook");
    file[wb + 0x42] = 2;
    Set32(file, wb + 0x44, 0xFFFFFFFF);
    Set32(file, wb + 0x48, 0xFFFFFFFF);
    Set32(file, wb + 0x4C, 0xFFFFFFFF);
    Set32(file, wb + 0x74, 0);
    Set32(file, wb + 0x78, std::uint32_t(stream.size()));
    for (int e = 2; e < 4; ++e)
        for (int off : {0x44, 0x48, 0x4C})
            Set32(file, At(1) + 128 * e + off, 0xFFFFFFFF);
    file.replace(At(3), stream.size(), stream);
    return file;
}

using TDamage = std::function<void(QByteArray&)>;

} // namespace

Q_DECLARE_METATYPE(TDamage)

class TestCompoundFile : public QObject {
    Q_OBJECT

private slots:
    // Sizes around the thresholds: 4096 bytes, one FAT sector mapping 128
    // sectors, 109 FAT sectors in the header before DIFAT sectors are needed.
    void roundTrip_data() {
        QTest::addColumn<qsizetype>("size");
        QTest::addColumn<qsizetype>("fatSectors");
        QTest::addColumn<qsizetype>("difatSectors");
        QTest::newRow("empty, padded to 4096") << qsizetype(0) << qsizetype(1) << qsizetype(0);
        QTest::newRow("4095") << qsizetype(4095) << qsizetype(1) << qsizetype(0);
        QTest::newRow("4097") << qsizetype(4097) << qsizetype(1) << qsizetype(0);
        QTest::newRow("126 sectors, one FAT")
            << qsizetype(126 * 512) << qsizetype(1) << qsizetype(0);
        QTest::newRow("127 sectors, two FATs")
            << qsizetype(127 * 512) << qsizetype(2) << qsizetype(0);
        QTest::newRow("109 FAT sectors")
            << qsizetype((109 * 127 - 1) * 512) << qsizetype(109) << qsizetype(0);
        QTest::newRow("110 FAT sectors, one DIFAT")
            << qsizetype((109 * 127 + 10) * 512) << qsizetype(110) << qsizetype(1);
    }

    void roundTrip() {
        QFETCH(qsizetype, size);
        QFETCH(qsizetype, fatSectors);
        QFETCH(qsizetype, difatSectors);
        const QByteArray stream = Pattern(size);
        const QByteArray file = cfb::WriteSingleStream(u"Workbook", stream);
        const qsizetype w = (std::max<qsizetype>(size, 4096) + 511) / 512;
        QCOMPARE(Get32(file, 0x2C), std::uint32_t(fatSectors));
        QCOMPARE(Get32(file, 0x48), std::uint32_t(difatSectors));
        QCOMPARE(file.size(), 512 * (1 + w + fatSectors + difatSectors + 1));
        const auto back = cfb::ReadStream(file, u"workbook");
        QVERIFY(back);
        QCOMPARE(back->size(), w * 512);
        QVERIFY(back->startsWith(stream));
        QVERIFY(back->mid(size).count('\0') == back->size() - size);
        QVERIFY(!cfb::ReadStream(file, u"Book"));
    }

    void miniStream_data() {
        QTest::addColumn<qsizetype>("size");
        QTest::newRow("one mini sector") << qsizetype(50);
        QTest::newRow("crosses container sectors") << qsizetype(2373);
        QTest::newRow("just under the cutoff") << qsizetype(4095);
    }

    void miniStream() {
        QFETCH(qsizetype, size);
        const QByteArray stream = Pattern(size);
        const auto back = cfb::ReadStream(MiniStreamFile(stream), u"Workbook");
        QVERIFY(back);
        QCOMPARE(*back, stream);
    }

    void damaged_data() {
        QTest::addColumn<TDamage>("damage");
        QTest::newRow("empty") << TDamage([](QByteArray& f) { f.clear(); });
        QTest::newRow("not a compound file")
            << TDamage([](QByteArray& f) { f = QByteArray(4096, 'x'); });
        QTest::newRow("xlsx") << TDamage(
            [](QByteArray& f) { f = "PK\x03\x04" + QByteArray(600, 0); });
        QTest::newRow("header only") << TDamage([](QByteArray& f) { f.truncate(512); });
        QTest::newRow("cut inside the stream") << TDamage([](QByteArray& f) { f.truncate(2048); });
        QTest::newRow("sector size 2^20")
            << TDamage([](QByteArray& f) { qToLittleEndian<std::uint16_t>(20, f.data() + 0x1E); });
        QTest::newRow("byte order") << TDamage([](QByteArray& f) { f[0x1C] = 0; });
        QTest::newRow("huge FAT count")
            << TDamage([](QByteArray& f) { Set32(f, 0x2C, 0x7FFFFFFF); });
        QTest::newRow("FAT sector past the end")
            << TDamage([](QByteArray& f) { Set32(f, 0x4C, 0x00FFFFFF); });
        QTest::newRow("directory past the end")
            << TDamage([](QByteArray& f) { Set32(f, 0x30, 4000); });
        QTest::newRow("stream chain loops") << TDamage([](QByteArray& f) {
            const std::uint32_t fat = Get32(f, 0x4C);
            Set32(f, At(fat) + 4 * 3, 1); // the fourth stream sector points back
        });
        QTest::newRow("directory chain loops") << TDamage([](QByteArray& f) {
            const std::uint32_t fat = Get32(f, 0x4C), dir = Get32(f, 0x30);
            Set32(f, At(fat) + 4 * dir, dir);
        });
        QTest::newRow("stream larger than the file") << TDamage(
            [](QByteArray& f) { Set32(f, At(Get32(f, 0x30)) + 128 + 0x78, 0x7FFFFFF0); });
        QTest::newRow("stream claims more sectors than its chain") << TDamage([](QByteArray& f) {
            const std::uint32_t fat = Get32(f, 0x4C);
            Set32(f, At(fat) + 4 * 3, 0xFFFFFFFE);
        });
        QTest::newRow("sibling links form a loop") << TDamage([](QByteArray& f) {
            const qsizetype dir = At(Get32(f, 0x30));
            f[dir + 128 + 0x42] = 1; // Workbook becomes a storage, not found directly
            Set32(f, dir + 128 + 0x44, 1);
        });
        QTest::newRow("free sector inside the chain") << TDamage([](QByteArray& f) {
            const std::uint32_t fat = Get32(f, 0x4C);
            Set32(f, At(fat) + 4 * 2, 0xFFFFFFFF);
        });
        QTest::newRow("mini stream chain loops") << TDamage([](QByteArray& f) {
            f = MiniStreamFile(Pattern(300));
            Set32(f, At(2) + 4 * 2, 0);
        });
        QTest::newRow("mini stream outside its container") << TDamage([](QByteArray& f) {
            f = MiniStreamFile(Pattern(300));
            Set32(f, At(1) + 128 + 0x74, 1000);
        });
    }

    // Each damage is refused with an error; none crashes or loops.
    void damaged() {
        QFETCH(TDamage, damage);
        QByteArray file = cfb::WriteSingleStream(u"Workbook", Pattern(4000));
        damage(file);
        QVERIFY_THROWS_EXCEPTION(TSpreadsheetError, cfb::ReadStream(file, u"Workbook"));
    }
};

#include "test_compoundfile.moc"

int RunCompoundFileTests(int argc, char** argv) {
    TestCompoundFile t;
    return QTest::qExec(&t, argc, argv);
}
