#include "cli/command.h"
#include "core/model/stream.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <sstream>

using namespace foresyn;
using namespace foresyn::cli;

namespace {

struct Run {
    int status;
    QByteArray out;
    QString err;
};

Run Cli(const QStringList& args) {
    std::ostringstream out;
    std::ostringstream err;
    TCliStreams io{out, err};
    const int status = RunCli(args, io);
    return {status, QByteArray::fromStdString(out.str()), QString::fromStdString(err.str())};
}

// A round file written field by field from the format's tables, not by the
// model: one product with one two-year curve, texts with bytes above 0x7F.
QByteArray HandMadeRoundFile() {
    TStreamWriter w;
    auto text = [&](QByteArray bytes) {
        w.WriteInt32(std::int32_t(bytes.size()));
        w.WriteBytes(bytes.constData(), std::size_t(bytes.size()));
    };
    w.WriteDouble(1.0); // participant list header
    w.WriteInt32(1);
    w.WriteDouble(1.0); // product list header
    w.WriteInt32(1);
    text("Advertising \x80"); // curve record
    w.WriteInt64(-1234567890123LL);
    w.WriteInt32(2024);
    w.WriteInt32(2025);
    w.WriteInt32(2);
    w.WriteBool(true);
    text(" k");
    text("$");
    w.WriteInt32(1);
    text("");
    text("\xA3");
    w.WriteInt32(2);
    for (int y = 0; y < 2; ++y) {
        w.WriteInt32(y == 0 ? 2 : 4);
        for (int p = 0; p < 5; ++p) {
            w.WriteDouble(p * 10.5);
            for (int row = 0; row < 8; ++row) {
                w.WriteDouble(row == 1 && p == 3 ? 0.1 + 0.2 : row * 100 + p + y / 3.0);
            }
        }
    }
    text("0123456789ABCDEF"); // product fields
    w.WriteInt32(2);
    w.WriteInt32(2024);
    w.WriteInt32(2025);
    w.WriteInt32(2024);
    w.WriteInt32(-1);
    text("FEDCBA9876543210");
    text("");
    text("");
    text("Widget \x81\x8D\x8F\x90\x9D");
    for (int y = 0; y < 2; ++y) {
        w.WriteDouble(1e6);
        w.WriteDouble(y == 0 ? qQNaN() : qInf());
        for (int row = 0; row < 8; ++row) {
            w.WriteDouble(row);
            w.WriteDouble(-qInf());
            w.WriteDouble(1e300);
        }
    }
    w.WriteInt32(2); // roster
    text("FEDCBA9876543210=Zo\xEB");
    text("0011223344556677=Bo");
    w.WriteInt32(2024);
    w.WriteInt32(2025);
    text("Zo\xEB");
    text("zoe@example.invalid");
    text("Acme");
    text("FEDCBA9876543210");
    text("$");
    text(" m");
    w.WriteInt32(3);
    w.WriteInt32(2);
    w.WriteInt32(1);
    w.WriteBool(false);
    return w.ToByteArray();
}

QString Write(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    return path;
}

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestCliRoundFile : public QObject {
    Q_OBJECT
private slots:
    void dumpThenBuildGivesTheSameBytes() {
        QTemporaryDir dir;
        const QByteArray original = HandMadeRoundFile();
        const QString in = Write(dir, "Round 2 - Participant 03.Foresyn", original);
        const Run dump = Cli({"dump", in});
        QCOMPARE(dump.status, kOk);
        QVERIFY(dump.err.isEmpty());
        const QString json = Write(dir, "p.json", dump.out);
        const QString out = dir.filePath("rebuilt.Foresyn");
        const Run build = Cli({"build", json, "-o", out});
        QCOMPARE(build.status, kOk);
        QCOMPARE(ReadAll(out), original);
    }

    void dumpShowsTheFormatsFields() {
        QTemporaryDir dir;
        const Run dump = Cli({"dump", Write(dir, "f.Foresyn", HandMadeRoundFile())});
        const QJsonObject p = QJsonDocument::fromJson(dump.out).object();
        QCOMPARE(p.keys().size(), 15);
        QCOMPARE(p["Name"].toString(), QString::fromUtf8("Zoë"));
        QCOMPARE(p["Included"].toBool(), false);
        const QJsonObject product = p["Products"].toArray()[0].toObject();
        QCOMPARE(product["Name"].toString(),
                 QString::fromUtf8("Widget \u0081\u008D\u008F\u0090\u009D"));
        QCOMPARE(product["Years"].toArray()[0].toObject()["UnitPrice"].toString(), QString("NaN"));
        QCOMPARE(product["Years"].toArray()[1].toObject()["UnitPrice"].toString(),
                 QString("Infinity"));
        const QJsonObject curve = product["Curves"].toArray()[0].toObject();
        QCOMPARE(curve["Name"].toString(), QString::fromUtf8("Advertising €"));
        QCOMPARE(curve["SalesPrefix"].toString(), QString::fromUtf8("£"));
        QCOMPARE(curve["CurveId"].toInteger(), -1234567890123LL);
        QVERIFY(curve["CurveId"].isDouble()); // a JSON number, not a text
        const QJsonObject year1 = curve["Years"].toArray()[1].toObject();
        QCOMPARE(year1["BasePosition"].toInt(), 4);
        QCOMPARE(year1["Sales"].toArray()[1].toArray()[3].toDouble(), 0.1 + 0.2);
        QVERIFY(dump.out.contains("0.30000000000000004")); // shortest round-trip form
    }

    void refusals_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        QTest::newRow("no command") << QStringList{} << int(kUsage) << "Usage";
        QTest::newRow("unknown command") << QStringList{"frobnicate"} << int(kUsage) << "unknown";
        QTest::newRow("dump without file") << QStringList{"dump"} << int(kUsage) << "FILE";
        QTest::newRow("build without -o") << QStringList{"build", "x.json"} << int(kUsage) << "-o";
        QTest::newRow("dump of a missing file")
            << QStringList{"dump", "@dir/none.Foresyn"} << int(kRefused) << "none.Foresyn";
        QTest::newRow("dump of a damaged file")
            << QStringList{"dump", "@dir/short.Foresyn"} << int(kRefused)
            << "byte 0: file ends inside list version";
        QTest::newRow("not JSON") << QStringList{"build", "@dir/bad.json", "-o", "@dir/out"}
                                  << int(kRefused) << "bad.json: not valid JSON";
        QTest::newRow("an extra key")
            << QStringList{"build", "@dir/extra.json", "-o", "@dir/out"} << int(kRefused)
            << "extra.json: participant: unknown key \"Colour\"";
        QTest::newRow("a missing key")
            << QStringList{"build", "@dir/missing.json", "-o", "@dir/out"} << int(kRefused)
            << "missing key \"Included\"";
        QTest::newRow("a table too short")
            << QStringList{"build", "@dir/short-table.json", "-o", "@dir/out"} << int(kRefused)
            << "Products[0].Curves[0].Years[0].Effort: expected 5 entries, found 4";
        QTest::newRow("a base position of 7")
            << QStringList{"build", "@dir/base.json", "-o", "@dir/out"} << int(kRefused)
            << "BasePosition: must be 0..4";
        QTest::newRow("a text the code page cannot hold")
            << QStringList{"build", "@dir/cjk.json", "-o", "@dir/out"} << int(kRefused)
            << "Name: text holds characters";
        QTest::newRow("years that do not match the range")
            << QStringList{"build", "@dir/years.json", "-o", "@dir/out"} << int(kRefused)
            << "Products[0].Years: expected 2 entries, found 1";
    }
    void refusals() {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QByteArray good = HandMadeRoundFile();
        Write(dir, "short.Foresyn", good.left(5));
        Write(dir, "bad.json", "{\"Version\": ");
        const QByteArray json = Cli({"dump", Write(dir, "g.Foresyn", good)}).out;
        auto edited = [&](auto change) {
            QJsonObject o = QJsonDocument::fromJson(json).object();
            change(o);
            return QJsonDocument(o).toJson();
        };
        Write(dir, "extra.json", edited([](QJsonObject& o) { o["Colour"] = 1; }));
        Write(dir, "missing.json", edited([](QJsonObject& o) { o.remove("Included"); }));
        Write(dir, "cjk.json", edited([](QJsonObject& o) { o["Name"] = QString::fromUtf8("中"); }));
        auto editCurveYear = [&](auto change) {
            return edited([&](QJsonObject& o) {
                QJsonArray products = o["Products"].toArray();
                QJsonObject product = products[0].toObject();
                QJsonArray curves = product["Curves"].toArray();
                QJsonObject curve = curves[0].toObject();
                QJsonArray years = curve["Years"].toArray();
                QJsonObject year = years[0].toObject();
                change(year, product);
                years[0] = year;
                curve["Years"] = years;
                curves[0] = curve;
                product["Curves"] = curves;
                products[0] = product;
                o["Products"] = products;
            });
        };
        Write(dir, "short-table.json", editCurveYear([](QJsonObject& y, QJsonObject&) {
                  QJsonArray e = y["Effort"].toArray();
                  e.removeLast();
                  y["Effort"] = e;
              }));
        Write(dir, "base.json",
              editCurveYear([](QJsonObject& y, QJsonObject&) { y["BasePosition"] = 7; }));
        Write(dir, "years.json", editCurveYear([](QJsonObject&, QJsonObject& product) {
                  QJsonArray ys = product["Years"].toArray();
                  ys.removeLast();
                  product["Years"] = ys;
              }));
        const QByteArray existing("keep me");
        Write(dir, "out", existing);
        for (QString& a : args) {
            a.replace("@dir", dir.path());
        }
        const Run r = Cli(args);
        QCOMPARE(r.status, status);
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
        if (status == kRefused) {
            QCOMPARE(r.err.count('\n'), 1); // one line
            QCOMPARE(ReadAll(dir.filePath("out")), existing);
        }
    }

    void helpExplainsEachCommand() {
        const Run overview = Cli({"--help"});
        QCOMPARE(overview.status, kOk);
        for (const TCommand& c : Commands()) {
            QVERIFY(overview.out.contains(c.name));
            const Run help = Cli({c.name, "--help"});
            QCOMPARE(help.status, kOk);
            QVERIFY(help.out.startsWith("Usage: foresyn-cli " + QByteArray(c.name)));
        }
    }

    void theExecutableReportsTheStatus() {
        QTemporaryDir dir;
        const QString exe = QStringLiteral(FORESYN_BIN_DIR "/foresyn-cli");
        QProcess p;
        p.start(exe, {"dump", Write(dir, "f.Foresyn", HandMadeRoundFile())});
        QVERIFY(p.waitForFinished());
        QCOMPARE(p.exitCode(), 0);
        QVERIFY(p.readAllStandardOutput().contains("\"Company\": \"Acme\""));
        p.start(exe, {"dump", dir.filePath("none")});
        QVERIFY(p.waitForFinished());
        QCOMPARE(p.exitCode(), 1);
        p.start(exe, {"dump"});
        QVERIFY(p.waitForFinished());
        QCOMPARE(p.exitCode(), 2);
    }
};

QTEST_GUILESS_MAIN(TestCliRoundFile)
#include "tst_cli_roundfile.moc"
