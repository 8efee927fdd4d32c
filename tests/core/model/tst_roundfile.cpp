#include "core/model/participant.h"
#include "core/model/project.h"
#include "core/util/error.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>

#include <unistd.h>

using namespace foresyn;

namespace {

QByteArray CurveBytes(const TCurve& c) {
    TStreamWriter out;
    c.SaveToStream(out);
    return out.ToByteArray();
}

QByteArray ProductBytes(const TProduct& p) {
    TStreamWriter out;
    p.SaveToStream(out);
    return out.ToByteArray();
}

// The product of the format's size examples: "New Product" with a 16-digit
// ID and one four-year "New Curve".
std::unique_ptr<TProduct> NewProduct() {
    auto p = std::make_unique<TProduct>(2008, 2011);
    p->SetName("New Product");
    auto c = std::make_unique<TCurve>(2008, 2011);
    c->SetName("New Curve");
    p->Add(std::move(c));
    return p;
}

// A participant with every kind of field set to something other than its
// default, including texts with bytes above 0x7F.
std::unique_ptr<TParticipant> RichParticipant() {
    auto p = std::make_unique<TParticipant>(2008, 2011);
    p->SetName(QString::fromUtf8("Zoë Müller"));
    p->SetEmail("zoe@example.invalid");
    p->SetRosterId(p->RosterEntryId(0));
    p->AddRosterEntry(QString::fromUtf8("Łukasz – €"));
    p->SetNumber(7);
    p->SetSalesDecimals(2);
    p->SetIncluded(false);
    for (int i = 0; i < 2; ++i) {
        auto product = NewProduct();
        product->SetLaunchYear(2009);
        product->AddNomination(p->RosterEntryId(1));
        product->SetExpertRank(i + 1);
        product->Add(std::make_unique<TCurve>(2008, 2011));
        product->Curve(1).SetBasePosition(2010, 4);
        product->Curve(1).SetEffortPrefix(QString::fromUtf8("£"));
        product->SetSales(0, 2010, 123.456 + i);
        product->SetSales(3, 2011, -1.5);
        product->SetMarketSales(2009, 1e9);
        p->Add(std::move(product));
    }
    p->SetRound(3);
    return p;
}

// Makes a folder unwritable for this process, root included (the
// immutable attribute), or writable again. False when neither works here.
bool LockFolder(const QString& folder, bool lock) {
    if (::geteuid() == 0) {
        const int rc = QProcess::execute("chattr", {lock ? "+i" : "-i", folder});
        return rc == 0;
    }
    const auto rw = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
    return QFile::setPermissions(folder, lock ? (QFile::ReadOwner | QFile::ExeOwner) : rw);
}

} // namespace

class TestRoundFile : public QObject {
    Q_OBJECT
private slots:
    void exactSizes() {
        TCurve bare(2008, 2008);
        QCOMPARE(CurveBytes(bare).size(), 413);
        TCurve named(2008, 2011);
        named.SetName("New Curve");
        QCOMPARE(CurveBytes(named).size(), 1514);

        TProduct empty(2008, 2008);
        empty.SetProductId(QString());
        QCOMPARE(ProductBytes(empty).size(), 260);
        QCOMPARE(ProductBytes(*NewProduct()).size(), 2425);

        TParticipant none(2008, 2011);
        none.SetRoster({});
        none.SetName(QString());
        none.SetCompany(QString());
        QCOMPARE(none.SaveToBytes().size(), 61);

        TProject fresh(2008);
        TParticipant& p = fresh.Participant(0);
        QCOMPARE(p.SaveToBytes().size(), 118);
        p.Add(NewProduct());
        QCOMPARE(p.SaveToBytes().size(), 2543);
        QVERIFY(p.SaveToBytes().startsWith(QByteArray::fromHex("000000000000F03F")));
    }

    void fieldOrder() {
        // A text of three characters is its length and its bytes; the curve
        // stores suffix before prefix.
        TCurve c(2008, 2007); // no years
        c.SetName("abc");
        c.SetEffortSuffix("S");
        c.SetEffortPrefix("P");
        const QByteArray b = CurveBytes(c);
        QCOMPARE(b.size(), 49 + 5);
        QCOMPARE(b.left(7), QByteArray("\x03\x00\x00\x00"
                                       "abc",
                                       7));
        const int suffixAt = 7 + 8 + 4 + 4 + 4 + 1;
        QCOMPARE(b.mid(suffixAt, 5), QByteArray("\x01\x00\x00\x00S", 5));
        QCOMPARE(b.mid(suffixAt + 5, 5), QByteArray("\x01\x00\x00\x00P", 5));
    }

    void writeReadWriteIsByteIdentical() {
        const auto original = RichParticipant();
        const QByteArray first = original->SaveToBytes();
        const auto read = TParticipant::CreateFromBytes(first);
        QCOMPARE(read->SaveToBytes(), first);
        QCOMPARE(read->Name(), QString::fromUtf8("Zoë Müller"));
        QCOMPARE(read->RosterEntryName(1), QString::fromUtf8("Łukasz – €").replace(u'Ł', u'?'));
        QCOMPARE(read->Product(1).ExpertRank(), 2);
        QCOMPARE(read->Product(0).Curve(1).BasePosition(2010), 4);
        QCOMPARE(read->Product(1).Sales(0, 2010), 124.456);
        QCOMPARE(read->Product(0).Sales(3, 2011), -1.5);
        QCOMPARE(read->Round(), 3);
        QVERIFY(!read->Included());
    }

    void readCurvesCarryTheProductHandlers() {
        const auto read = TParticipant::CreateFromBytes(RichParticipant()->SaveToBytes());
        TProduct& p = read->Product(0);
        p.Curve(0).SetSales(0, 2011, 2, 500);
        QCOMPARE(p.Curve(1).BasePlan(2011), 500.0);
        QCOMPARE(p.Sales(0, 2011), 500.0);
        p.Curve(1).SetSales(0, 2011, 4, 900);
        QCOMPARE(p.MaxMax(0, 2011), 900.0);
    }

    void keepsVersionAndAnyTextByte() {
        QByteArray bytes = TParticipant(2008, 2011).SaveToBytes();
        const double version = 1.25;
        std::memcpy(bytes.data(), &version, 8);
        // Every byte value in the name, the code page's holes included.
        auto p = TParticipant::CreateFromBytes(bytes);
        QByteArray all(256, 0);
        for (int i = 0; i < 256; ++i) {
            all[i] = char(i);
        }
        TStreamWriter w;
        w.WriteDouble(version);
        w.WriteInt32(0);
        w.WriteInt32(1);
        w.WriteInt32(256);
        w.WriteBytes(all.constData(), 256);
        const QByteArray tail = bytes.mid(12 + 4 + 4 + p->Roster().first().size());
        QByteArray crafted = w.ToByteArray() + tail;
        auto q = TParticipant::CreateFromBytes(crafted);
        QCOMPARE(q->Version(), 1.25);
        QCOMPARE(q->SaveToBytes(), crafted);
    }

    void rejectsDamage_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("offset");
        QTest::addColumn<QString>("problem");
        const QByteArray good = RichParticipant()->SaveToBytes();
        auto patched = [&](int at, QByteArray with) {
            QByteArray b = good;
            b.replace(at, with.size(), with);
            return b;
        };
        auto int32 = [](qint32 v) { return QByteArray(reinterpret_cast<const char*>(&v), 4); };
        // Offsets in the rich participant: list header 0..11, product 0's
        // list header 12..23, curve 0 at 24: name length 24, id 37, years 45.
        QTest::newRow("empty file") << QByteArray() << 0 << "file ends";
        QTest::newRow("short file")
            << good.left(good.size() - 1) << good.size() - 1 << "file ends inside included flag";
        QTest::newRow("trailing bytes") << good + "x" << good.size() << "1 bytes follow";
        QTest::newRow("negative product count") << patched(8, int32(-1)) << 8 << "negative";
        QTest::newRow("product count beyond the file")
            << patched(8, int32(100000)) << 8 << "exceeds what the";
        QTest::newRow("negative curve count") << patched(20, int32(-3)) << 20 << "negative";
        QTest::newRow("negative text length") << patched(24, int32(-1)) << 24 << "negative length";
        QTest::newRow("text longer than the file")
            << patched(24, int32(0x7fffffff)) << 24 << "exceeds the";
        QTest::newRow("last year two below first")
            << patched(45 + 4, int32(2006)) << 45 << "lies before first year";
        QTest::newRow("range of 201 years")
            << patched(45 + 4, int32(2208)) << 45 << "spans more than 200";
        const int firstBase = 24 + 4 + 9 + 8 + 4 + 4 + 4 + 1 + 4 + 4 + 4 + 4 + 4 + 4;
        QTest::newRow("base position 5")
            << patched(firstBase, int32(5)) << firstBase << "outside 0..4";
        QTest::newRow("base position -1")
            << patched(firstBase, int32(-1)) << firstBase << "outside 0..4";
        QTest::newRow("flag byte 2") << patched(24 + 4 + 9 + 8 + 12, QByteArray(1, 2))
                                     << 24 + 4 + 9 + 8 + 12 << "neither 0 nor 1";
        QTest::newRow("year blocks beyond the file")
            << patched(45 + 4, int32(2100)) << -1 << "curve years need";
    }
    void rejectsDamage() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, offset);
        QFETCH(QString, problem);
        try {
            TParticipant::CreateFromBytes(bytes);
            QFAIL("accepted a damaged file");
        } catch (const TFormatError& e) {
            if (offset >= 0) {
                QCOMPARE(e.Offset(), offset);
            }
            QVERIFY2(e.Problem().contains(problem), qPrintable(e.Problem()));
        }
    }

    void fileErrorsNameTheFile() {
        QTemporaryDir dir;
        const QString path = dir.filePath("Round 1 - Participant 01.Foresyn");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(RichParticipant()->SaveToBytes().left(100));
        f.close();
        try {
            TParticipant::CreateFromFile(path);
            QFAIL("read a short file");
        } catch (const TError& e) {
            QVERIFY2(e.Message().contains("Round 1 - Participant 01.Foresyn"),
                     qPrintable(e.Message()));
            QVERIFY2(e.Message().contains("byte "), qPrintable(e.Message()));
        }
        QVERIFY_THROWS_EXCEPTION(TError, TParticipant::CreateFromFile(dir.filePath("none")));
    }

    void failedSaveKeepsTheOldFile() {
        QTemporaryDir dir;
        const QString path = dir.filePath("Round 3 - Participant 07.Foresyn");
        const auto p = RichParticipant();
        QCOMPARE(p->SaveRoundFile(dir.path()), path);
        const QByteArray before = p->SaveToBytes();
        // A folder that cannot be written to: the save fails, the file stays.
        if (!LockFolder(dir.path(), true)) {
            QSKIP("cannot make a folder read-only here");
        }
        p->SetName("Changed");
        try {
            p->SaveToFile(path);
            LockFolder(dir.path(), false);
            QFAIL("saved into a read-only folder");
        } catch (const TError& e) {
            LockFolder(dir.path(), false);
            QVERIFY2(e.Message().contains(QDir::toNativeSeparators(path)), qPrintable(e.Message()));
        }
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), before);
    }

    void differingRangesAreReadAsStored() {
        auto p = std::make_unique<TParticipant>(2008, 2011);
        auto product = std::make_unique<TProduct>(2009, 2010);
        product->Add(std::make_unique<TCurve>(2009, 2010));
        product->Curve(0).SetYears(2005, 2005);
        p->Add(std::move(product));
        const QByteArray bytes = p->SaveToBytes();
        const auto read = TParticipant::CreateFromBytes(bytes);
        QCOMPARE(read->Product(0).FirstYear(), 2009);
        QCOMPARE(read->Product(0).Curve(0).YearCount(), 1);
        QCOMPARE(read->SaveToBytes(), bytes);
        // An edit the curve cannot follow is refused before anything moves.
        TProduct& readProduct = read->Product(0);
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, readProduct.SetSales(0, 2009, 50));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, readProduct.SaveOriginalValues());
        QCOMPARE(read->SaveToBytes(), bytes);
    }
};

QTEST_GUILESS_MAIN(TestRoundFile)
#include "tst_roundfile.moc"
