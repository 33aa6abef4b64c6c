#include <QImage>
#include <QImageReader>
#include <QtTest>

// The pictures built into the program are there, at the sizes the windows
// expect.
class TestResources : public QObject
{
    Q_OBJECT

private slots:
    void icons_data()
    {
        QTest::addColumn<QString>("name");
        for (const char *name : {"add", "edit", "delete", "find", "vorlix"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }

    void icons()
    {
        QFETCH(QString, name);
        const QImage normal(QStringLiteral(":/icons/%1.png").arg(name));
        const QImage dense(QStringLiteral(":/icons/%1@2x.png").arg(name));
        QCOMPARE(normal.size(), QSize(32, 32));
        QCOMPARE(dense.size(), QSize(64, 64));
        QVERIFY(normal.hasAlphaChannel());
    }

    void pictures_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QSize>("size");
        QTest::newRow("splash") << QStringLiteral(":/splash.jpg") << QSize(480, 300);
        QTest::newRow("default cover") << QStringLiteral(":/nopicture.jpg") << QSize(150, 215);
    }

    void pictures()
    {
        QFETCH(QString, path);
        QFETCH(QSize, size);
        QImageReader reader(path);
        QCOMPARE(reader.format(), QByteArray("jpeg"));
        const QImage picture = reader.read();
        QVERIFY2(!picture.isNull(), qPrintable(reader.errorString()));
        QCOMPARE(picture.size(), size);
    }
};

QTEST_MAIN(TestResources)
#include "tst_resources.moc"
