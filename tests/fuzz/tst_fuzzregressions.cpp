// Every seed input and every input a fuzzer once failed on, through the same
// bodies the fuzzers run.
#include "tests/fuzz/FuzzTargets.h"

#include <QDir>
#include <QFile>
#include <QTest>

namespace {

using Body = void (*)(const uint8_t *, size_t);

const struct
{
    const char *name;
    Body body;
} Targets[] = {
    {"dialect", FuzzDialect},
    {"spell", FuzzSpell},
    {"page", FuzzPage},
    {"version", FuzzVersion},
};

} // namespace

Q_DECLARE_METATYPE(Body)

class TestFuzzRegressions : public QObject
{
    Q_OBJECT

private slots:
    void inputs_data();
    void inputs();
};

void TestFuzzRegressions::inputs_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<Body>("body");

    const QDir root(QStringLiteral(VORLIX_FUZZ_DIR));
    for (const auto &target : Targets) {
        int seeds = 0;
        for (const char *kind : {"corpus", "regressions"}) {
            const QDir folder(
                root.filePath(QStringLiteral("%1/%2").arg(QLatin1String(kind), QLatin1String(target.name))));
            for (const QString &name : folder.entryList(QDir::Files | QDir::Hidden, QDir::Name)) {
                if (name == QLatin1String(".gitkeep"))
                    continue;
                const QString path = folder.filePath(name);
                QTest::newRow(
                    qPrintable(QStringLiteral("%1/%2/%3").arg(QLatin1String(kind), QLatin1String(target.name), name)))
                    << path << target.body;
                if (QLatin1String(kind) == QLatin1String("corpus"))
                    ++seeds;
            }
        }
        // A target without seeds would pass here without running at all.
        QVERIFY2(seeds > 0, target.name);
    }
}

void TestFuzzRegressions::inputs()
{
    QFETCH(QString, path);
    QFETCH(Body, body);

    QFile file(path);
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(path));
    const QByteArray input = file.readAll();
    try {
        body(reinterpret_cast<const uint8_t *>(input.constData()), size_t(input.size()));
    } catch (const std::exception &e) {
        QFAIL(e.what());
    }
}

QTEST_GUILESS_MAIN(TestFuzzRegressions)
#include "tst_fuzzregressions.moc"
