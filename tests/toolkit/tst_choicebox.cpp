// The choice box: as wide as a combo box adjusted to its contents, measured
// without laying out every entry, and following its entries and its font.
#include "toolkit/ChoiceBox.h"
#include "toolkit/ChoiceModel.h"

#include <QApplication>
#include <QTest>

class TestChoiceBox : public QObject
{
    Q_OBJECT

private slots:
    void asWideAsAComboBox_data();
    void asWideAsAComboBox();
    void followsItsEntries();
    void followsItsFont();
};

namespace {

QList<TChoice> Choices(const QStringList &names)
{
    QList<TChoice> choices;
    for (const QString &name : names)
        choices.append({int(choices.size()) + 1, name});
    return choices;
}

// Many entries of one width, more than are measured in full, and the
// widest of all among them at the end.
QStringList ManyAlike(const QString &last)
{
    QStringList names;
    for (int i = 0; i < 2000; ++i)
        names << QStringLiteral("文件夹%1").arg(i, 4, 10, QLatin1Char('0'));
    names << last;
    return names;
}

// Both boxes set up as the disc editor sets up its boxes.
template <class Box> std::unique_ptr<QComboBox> MakeBox(const QStringList &names, const QFont &font)
{
    auto box = std::make_unique<Box>();
    box->setEditable(true);
    box->setFont(font);
    TChoiceModel::Fill(box.get(), Choices(names), 1);
    return box;
}

} // namespace

void TestChoiceBox::asWideAsAComboBox_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<int>("pointSize");

    QTest::newRow("no entries") << QStringList() << 9;
    QTest::newRow("chinese") << QStringList{QStringLiteral("电影"), QStringLiteral("纪录片与自然风光合集第三辑"),
                                            QStringLiteral("音乐")}
                             << 9;
    // Kerned pairs and narrow letters: the sum of the advances misjudges
    // these, the full measure of the widest does not.
    QTest::newRow("latin") << QStringList{QStringLiteral("AVATAR To"), QStringLiteral("iiiiiiiiiiiii"),
                                          QStringLiteral("WAVE Tokyo"), QStringLiteral("mm")}
                           << 11;
    QTest::newRow("mixed") << QStringList{QStringLiteral("第3季 Season Three"), QStringLiteral("Blu-ray 蓝光 (2009)"),
                                          QStringLiteral("  空格  ")}
                           << 9;
    QTest::newRow("outside the basic plane")
        << QStringList{QStringLiteral("音乐"), QStringLiteral("𠀀𠀁𠀂𠀃𠀄𠀅 集")} << 9;
    QTest::newRow("many alike, the widest last") << ManyAlike(QStringLiteral("文件夹99999")) << 9;
    QTest::newRow("many alike, all as wide") << ManyAlike(QStringLiteral("文件夹9999")) << 12;
}

void TestChoiceBox::asWideAsAComboBox()
{
    QFETCH(QStringList, names);
    QFETCH(int, pointSize);
    QFont font = QApplication::font();
    font.setPointSize(pointSize);

    const std::unique_ptr<QComboBox> combo = MakeBox<QComboBox>(names, font);
    const std::unique_ptr<QComboBox> choice = MakeBox<TChoiceBox>(names, font);
    QCOMPARE(choice->sizeHint(), combo->sizeHint());
    QCOMPARE(choice->minimumSizeHint(), combo->minimumSizeHint());
}

void TestChoiceBox::followsItsEntries()
{
    const QString longName = QStringLiteral("很长很长的一个文件夹名称");
    TChoiceBox box;
    box.setEditable(true);
    box.addItems({QStringLiteral("甲"), QStringLiteral("乙")});
    const int narrow = box.sizeHint().width();

    // An entry renamed, one added, one removed: each is measured again.
    box.setItemText(1, longName);
    const int wide = box.sizeHint().width();
    QVERIFY2(wide > narrow, qPrintable(QStringLiteral("%1 <= %2").arg(wide).arg(narrow)));
    box.addItem(QStringLiteral("又一个很长很长的文件夹名称"));
    QVERIFY(box.sizeHint().width() > wide);
    box.removeItem(2);
    QCOMPARE(box.sizeHint().width(), wide);
    box.setItemText(1, QStringLiteral("乙"));
    QCOMPARE(box.sizeHint().width(), narrow);
    QCOMPARE(box.minimumSizeHint().width(), narrow);

    // Another list: the box's model is replaced.
    TChoiceModel::Fill(&box, Choices({QStringLiteral("甲"), longName}), 1);
    QCOMPARE(box.sizeHint().width(), wide);
    QCOMPARE(box.minimumSizeHint().width(), wide);
}

void TestChoiceBox::followsItsFont()
{
    const QStringList names{QStringLiteral("电影"), QStringLiteral("纪录片与自然风光合集")};
    QFont font = QApplication::font();
    font.setPointSize(9);
    const std::unique_ptr<QComboBox> combo = MakeBox<QComboBox>(names, font);
    const std::unique_ptr<QComboBox> choice = MakeBox<TChoiceBox>(names, font);
    const int before = choice->sizeHint().width();

    font.setPointSize(16);
    combo->setFont(font);
    choice->setFont(font);
    QVERIFY(choice->sizeHint().width() > before);
    QCOMPARE(choice->sizeHint(), combo->sizeHint());
}

QTEST_MAIN(TestChoiceBox)
#include "tst_choicebox.moc"
