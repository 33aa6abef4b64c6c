#include "toolkit/SkinData.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QtTest>

namespace {

// A skin folder made for one test.
class SkinFolder
{
public:
    SkinFolder() { QVERIFY(m_dir.isValid()); }

    QString Path(const QString &name) const { return m_dir.filePath(name); }

    void Write(const QString &name, const QByteArray &bytes) const
    {
        const QString path = Path(name);
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    void Picture(const QString &name, const QColor &color) const
    {
        QVERIFY(QDir().mkpath(QFileInfo(Path(name)).absolutePath()));
        QImage picture(8, 8, QImage::Format_RGB32);
        picture.fill(color);
        QVERIFY(picture.save(Path(name), "PNG"));
    }

    // A description naming a sheet that paints the frame "probe" in a colour.
    QString Skin(const QString &name, const QString &color) const
    {
        Write(name + ".ini", "[Skin]\nName=" + name.toUtf8() + "\nStyleSheet=" + name.toUtf8() + ".qss\n");
        Write(name + ".qss", "QFrame#probe { background-color: " + color.toUtf8() + "; border: none; }");
        return Path(name + ".ini");
    }

private:
    QTemporaryDir m_dir;
};

QColor CentreOf(QWidget &widget)
{
    const QImage image = widget.grab().toImage();
    return image.pixelColor(image.rect().center());
}

QStringList PicturesOf(const QString &sheet)
{
    static const QRegularExpression url(QStringLiteral(R"(url\(\s*(['"]?)([^'")]*)\1\s*\))"));
    QStringList pictures;
    for (auto it = url.globalMatch(sheet); it.hasNext();)
        pictures << it.next().captured(2);
    return pictures;
}

// Widgets of every kind the skins style, laid out as in the program's
// windows, so that a sheet meets all its selectors.
QWidget *MockMainWindow()
{
    auto *window = new QMainWindow;
    QMenu *menu = window->menuBar()->addMenu(QStringLiteral("光盘夹管理"));
    menu->addAction(QStringLiteral("备份光盘夹"));
    menu->addSeparator();
    menu->addAction(QStringLiteral("退出"));

    auto *central = new QWidget;
    auto *layout = new QVBoxLayout(central);
    auto *bar = new QWidget;
    bar->setObjectName(QStringLiteral("ControlBar"));
    auto *barLayout = new QHBoxLayout(bar);
    auto *tools = new QWidget;
    tools->setObjectName(QStringLiteral("pnToolBar"));
    auto *toolsLayout = new QHBoxLayout(tools);
    for (const char *name : {"btnAdd", "btnEdit", "btnDel", "btnFind"}) {
        auto *button = new QToolButton;
        button->setObjectName(QLatin1String(name));
        button->setText(QStringLiteral("添加光盘"));
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        toolsLayout->addWidget(button);
    }
    auto *line = new QFrame;
    line->setFrameShape(QFrame::VLine);
    toolsLayout->addWidget(line);
    auto *top = new QWidget;
    top->setObjectName(QStringLiteral("pnTop"));
    auto *topLayout = new QHBoxLayout(top);
    auto *code = new QComboBox;
    code->setEditable(true);
    topLayout->addWidget(code);
    auto *label = new QLabel(QStringLiteral("<<编号或者首拼"));
    label->setObjectName(QStringLiteral("Label2"));
    topLayout->addWidget(label);
    barLayout->addWidget(tools);
    barLayout->addWidget(top);
    layout->addWidget(bar);

    auto *splitter = new QSplitter;
    auto *tabs = new QTabWidget;
    tabs->setTabPosition(QTabWidget::South);
    auto *tree = new QTreeWidget;
    auto *root = new QTreeWidgetItem(tree, {QStringLiteral("我的光盘")});
    new QTreeWidgetItem(new QTreeWidgetItem(root, {QStringLiteral("电影")}), {QStringLiteral("2024")});
    tree->expandItem(root);
    tree->setCurrentItem(root);
    tabs->addTab(tree, QStringLiteral("我的光盘夹"));
    splitter->addWidget(tabs);
    auto *right = new QSplitter(Qt::Vertical);
    auto *table = new QTableWidget(3, 3);
    table->setAlternatingRowColors(true);
    table->selectRow(1);
    right->addWidget(table);
    right->addWidget(new QTextBrowser);
    splitter->addWidget(right);
    layout->addWidget(splitter);
    window->setCentralWidget(central);
    window->statusBar()->showMessage(QStringLiteral("共 3 张光盘"));
    window->resize(640, 480);
    return window;
}

QWidget *MockDialog()
{
    auto *dialog = new QDialog;
    auto *layout = new QVBoxLayout(dialog);
    layout->addWidget(new QLabel(QStringLiteral("光盘名称：")));
    layout->addWidget(new QLineEdit(QStringLiteral("星际穿越")));
    auto *combo = new QComboBox;
    combo->addItems({QStringLiteral("电影"), QStringLiteral("音乐")});
    layout->addWidget(combo);
    auto *date = new QDateEdit(QDate(2024, 5, 18));
    date->setCalendarPopup(true);
    layout->addWidget(date);
    layout->addWidget(new QDoubleSpinBox);
    auto *group = new QGroupBox(QStringLiteral("选项"));
    auto *groupLayout = new QVBoxLayout(group);
    auto *check = new QCheckBox(QStringLiteral("自动生成编号"));
    check->setChecked(true);
    groupLayout->addWidget(check);
    auto *radio = new QRadioButton(QStringLiteral("新建光盘夹"));
    radio->setChecked(true);
    groupLayout->addWidget(radio);
    layout->addWidget(group);
    layout->addWidget(new QCalendarWidget);
    layout->addWidget(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel));
    dialog->resize(360, 520);
    return dialog;
}

} // namespace

class TestSkins : public QObject
{
    Q_OBJECT

private slots:
    void shippedSkinsAreComplete();
    void shippedSkins_data();
    void shippedSkins();
    void loadFailures_data();
    void loadFailures();
    void picturesResolveAgainstTheSheetsFolder();
    void clearEmptiesTheSet();
    void attachFollowsTheSetsInOrder();
    void attachEndsWithTheWidget();
    void rulesForItself_data();
    void rulesForItself();
    void partApartKeepsThePlainLook();
};

void TestSkins::shippedSkinsAreComplete()
{
    const QDir skins(QStringLiteral(VORLIX_SKIN_DIR));
    const QStringList folders = skins.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    QVERIFY2(folders.size() >= 2, qPrintable(folders.join(u',')));
    for (const QString &name : folders) {
        const QDir folder(skins.filePath(name));
        QCOMPARE(folder.entryList({QStringLiteral("*.ini")}, QDir::Files).size(), 1);
        QVERIFY2(folder.exists(QStringLiteral("dialog.in1")), qPrintable(name));
        QVERIFY2(folder.exists(QStringLiteral("tool.in1")), qPrintable(name));
    }
}

void TestSkins::shippedSkins_data()
{
    QTest::addColumn<QString>("path");
    const QDir skins(QStringLiteral(VORLIX_SKIN_DIR));
    for (const QString &name : skins.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QDir folder(skins.filePath(name));
        QStringList files = folder.entryList({QStringLiteral("*.ini")}, QDir::Files);
        files << QStringLiteral("dialog.in1") << QStringLiteral("tool.in1");
        for (const QString &file : files)
            QTest::addRow("%s/%s", qPrintable(name), qPrintable(file)) << folder.filePath(file);
    }
}

void TestSkins::shippedSkins()
{
    QFETCH(QString, path);
    TSkinData set;
    try {
        set.LoadFromFile(path);
    } catch (const ESkinError &error) {
        QFAIL(qPrintable(error.Message()));
    }
    QVERIFY(set.Loaded());
    QVERIFY(!set.StyleSheet().isEmpty());

    for (const QString &picture : PicturesOf(set.StyleSheet())) {
        QVERIFY2(QFileInfo(picture).isAbsolute(), qPrintable(picture));
        QVERIFY2(QFileInfo(picture).isFile(), qPrintable(picture));
    }

    // Applied to the windows it is meant for, the sheet draws without a
    // single complaint from Qt.
    QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
    std::unique_ptr<QWidget> window(MockMainWindow());
    std::unique_ptr<QWidget> dialog(MockDialog());
    Skins::Attach(window.get(), {&set});
    Skins::Attach(dialog.get(), {&set});
    QCOMPARE(window->styleSheet(), set.StyleSheet());
    QVERIFY(!window->grab().isNull());
    QVERIFY(!dialog->grab().isNull());
}

void TestSkins::loadFailures_data()
{
    QTest::addColumn<QString>("load");
    QTest::addColumn<QByteArray>("description");
    QTest::addColumn<QByteArray>("sheet");
    QTest::addColumn<QString>("expected");

    const QByteArray good = "[Skin]\nName=坏\nStyleSheet=bad.qss\n";
    const QByteArray sheet = "QFrame { background-image: url(pic.png); }";
    QTest::newRow("missing description") << "gone.ini" << QByteArray() << sheet << "gone.ini”不存在";
    QTest::newRow("a folder") << "folder" << QByteArray() << sheet << "不是文件";
    QTest::newRow("binary garbage") << "bad.ini" << QByteArray("MZ\x90\0\x03\0\0\0\x04\0", 10) << sheet
                                    << "bad.ini”不是文本文件";
    QTest::newRow("not UTF-8") << "bad.ini" << QByteArray("[Skin]\nName=\xc6\xa4\xb7\xf4\nStyleSheet=bad.qss\n")
                               << sheet << "bad.ini”不是 UTF-8";
    QTest::newRow("no [Skin] section") << "bad.ini" << QByteArray("[Look]\nStyleSheet=bad.qss\n") << sheet << "[Skin]";
    QTest::newRow("line that is no key") << "bad.ini" << QByteArray("[Skin]\nStyleSheet=bad.qss\njust words\n") << sheet
                                         << "第 3 行";
    QTest::newRow("no StyleSheet key") << "bad.ini" << QByteArray("[Skin]\nName=坏\n") << sheet << "StyleSheet";
    QTest::newRow("missing style sheet") << "bad.ini" << QByteArray("[Skin]\nStyleSheet=gone.qss\n") << sheet
                                         << "gone.qss”不存在";
    QTest::newRow("missing picture") << "bad.ini" << good << QByteArray("QFrame { image: url(lost.png); }")
                                     << "lost.png”不存在";
    QTest::newRow("picture that is no picture")
        << "bad.ini" << good << QByteArray("QFrame { image: url(fake.png); }") << "fake.png”无法读取";
    QTest::newRow("unclosed url") << "bad.ini" << good << QByteArray("QFrame { image: url(pic.png; }") << "url()";
    QTest::newRow("sheet that does not parse")
        << "bad.ini" << good << QByteArray("QFrame { color: red; }}") << "bad.qss”有语法错误";
}

void TestSkins::loadFailures()
{
    QFETCH(QString, load);
    QFETCH(QByteArray, description);
    QFETCH(QByteArray, sheet);
    QFETCH(QString, expected);

    SkinFolder folder;
    const QString good = folder.Skin(QStringLiteral("good"), QStringLiteral("#00ff00"));
    QVERIFY(QDir().mkpath(folder.Path(QStringLiteral("folder"))));
    folder.Picture(QStringLiteral("pic.png"), Qt::red);
    folder.Write(QStringLiteral("fake.png"), "not a picture at all");
    if (!description.isNull())
        folder.Write(QStringLiteral("bad.ini"), description);
    folder.Write(QStringLiteral("bad.qss"), sheet);

    TSkinData set;
    set.LoadFromFile(good);
    const QString sheetBefore = set.StyleSheet();
    QSignalSpy changed(&set, &TSkinData::changed);

    QString message;
    try {
        set.LoadFromFile(folder.Path(load));
        QFAIL("the skin was accepted");
    } catch (const ESkinError &error) {
        message = error.Message();
    }
    QVERIFY2(message.contains(expected), qPrintable(message));

    QCOMPARE(set.FileName(), QFileInfo(good).absoluteFilePath());
    QCOMPARE(set.StyleSheet(), sheetBefore);
    QCOMPARE(changed.count(), 0);
}

void TestSkins::picturesResolveAgainstTheSheetsFolder()
{
    SkinFolder folder;
    folder.Picture(QStringLiteral("我的 皮肤/look/sub dir/红.png"), Qt::red);
    folder.Write(QStringLiteral("我的 皮肤/皮肤.ini"),
                 "\xEF\xBB\xBF; 注释\n[Skin]\nName = 红\nStyleSheet = \"look/main.qss\"\n");
    folder.Write(QStringLiteral("我的 皮肤/look/main.qss"),
                 "/* url(only-a-comment.png) */\n"
                 "QLabel[text=\"url(not-a-picture)\"] { color: blue; }\n"
                 "QFrame#probe { border: none; background-image: URL( 'sub dir/红.png' ); }\n");

    TSkinData set;
    QSignalSpy changed(&set, &TSkinData::changed);
    set.LoadFromFile(folder.Path(QStringLiteral("我的 皮肤/皮肤.ini")));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(set.FileName(), folder.Path(QStringLiteral("我的 皮肤/皮肤.ini")));

    const QString picture = folder.Path(QStringLiteral("我的 皮肤/look/sub dir/红.png"));
    QCOMPARE(PicturesOf(set.StyleSheet()),
             QStringList({QStringLiteral("only-a-comment.png"), QStringLiteral("not-a-picture"), picture}));
    QVERIFY(set.StyleSheet().contains(QStringLiteral("[text=\"url(not-a-picture)\"]")));

    // The picture really paints, wherever the program was started from.
    QFrame frame;
    frame.setObjectName(QStringLiteral("probe"));
    frame.resize(16, 16);
    Skins::Attach(&frame, {&set});
    QCOMPARE(CentreOf(frame), QColor(Qt::red));
}

void TestSkins::clearEmptiesTheSet()
{
    SkinFolder folder;
    TSkinData set;
    set.LoadFromFile(folder.Skin(QStringLiteral("a"), QStringLiteral("#ff0000")));
    QVERIFY(set.Loaded());
    QSignalSpy changed(&set, &TSkinData::changed);

    set.Clear();
    QVERIFY(!set.Loaded());
    QVERIFY(set.FileName().isEmpty());
    QVERIFY(set.StyleSheet().isEmpty());
    QCOMPARE(changed.count(), 1);
}

void TestSkins::attachFollowsTheSetsInOrder()
{
    SkinFolder folder;
    const QString red = folder.Skin(QStringLiteral("red"), QStringLiteral("#ff0000"));
    const QString blue = folder.Skin(QStringLiteral("blue"), QStringLiteral("#0000ff"));
    TSkinData below, above;

    QFrame frame;
    frame.setObjectName(QStringLiteral("probe"));
    frame.resize(16, 16);
    const QColor plain = CentreOf(frame);
    Skins::Attach(&frame, {&below, &above});
    QVERIFY(frame.styleSheet().isEmpty());

    below.LoadFromFile(red);
    QCOMPARE(CentreOf(frame), QColor(Qt::red));
    above.LoadFromFile(blue);
    QCOMPARE(frame.styleSheet(), below.StyleSheet() + u'\n' + above.StyleSheet());
    QCOMPARE(CentreOf(frame), QColor(Qt::blue));

    above.Clear();
    QCOMPARE(CentreOf(frame), QColor(Qt::red));
    below.Clear();
    QVERIFY(frame.styleSheet().isEmpty());
    QCOMPARE(CentreOf(frame), plain);

    // Attaching again replaces the earlier sets.
    Skins::Attach(&frame, {&above});
    below.LoadFromFile(red);
    QVERIFY(frame.styleSheet().isEmpty());
    above.LoadFromFile(blue);
    QCOMPARE(CentreOf(frame), QColor(Qt::blue));
}

namespace {
class CountingSkin : public TSkinData
{
public:
    int Listeners() const { return receivers(SIGNAL(changed())); }
};
} // namespace

void TestSkins::attachEndsWithTheWidget()
{
    SkinFolder folder;
    const QString red = folder.Skin(QStringLiteral("red"), QStringLiteral("#ff0000"));
    CountingSkin set;
    const int before = set.Listeners();

    auto *frame = new QFrame;
    Skins::Attach(frame, {&set});
    QCOMPARE(set.Listeners(), before + 1);
    delete frame;
    QCOMPARE(set.Listeners(), before);
    set.LoadFromFile(red);
    QVERIFY(set.Loaded());
}

void TestSkins::rulesForItself_data()
{
    QTest::addColumn<QString>("sheet");
    QTest::addColumn<QString>("rules"); // for a main window named MainFm

    QTest::newRow("its type, of a list") << "QMainWindow, QDialog { color: red; }"
                                         << "QMainWindow#MainFm { color: red; }";
    QTest::newRow("a sub-control") << "QMainWindow::separator { width: 2px; }"
                                   << "QMainWindow#MainFm::separator { width: 2px; }";
    QTest::newRow("a base class, a state") << "QWidget:hover { color: red; }"
                                           << "QWidget#MainFm:hover { color: red; }";
    QTest::newRow("its name") << "#MainFm { color: red; }"
                              << "*#MainFm { color: red; }";
    QTest::newRow("a property with a comma") << R"(QMainWindow[tag="a,b"] { color: red; })"
                                             << R"(QMainWindow#MainFm[tag="a,b"] { color: red; })";
    QTest::newRow("widgets inside it") << "QMainWindow QToolButton { color: red; }"
                                       << "";
    QTest::newRow("children") << "QMainWindow > QLabel { color: red; }"
                              << "";
    QTest::newRow("another type") << "QToolButton { color: red; }"
                                  << "";
    QTest::newRow("another name") << "#ControlBar { color: red; }"
                                  << "";
    QTest::newRow("exactly another class") << ".QWidget { color: red; }"
                                           << "";
    QTest::newRow("in a comment") << "/* QMainWindow { color: red; } */ QLabel { color: blue; }"
                                  << "";
    QTest::newRow("two rules")
        << "QMainWindow { color: red; }\nQLabel { color: blue; }\nQMainWindow:active { color: green; }"
        << "QMainWindow#MainFm { color: red; }\nQMainWindow#MainFm:active { color: green; }";
}

void TestSkins::rulesForItself()
{
    QFETCH(QString, sheet);
    QFETCH(QString, rules);
    QMainWindow window;
    window.setObjectName(QStringLiteral("MainFm"));
    QCOMPARE(Skins::RulesForItself(sheet, window), rules);
}

void TestSkins::partApartKeepsThePlainLook()
{
    SkinFolder folder;
    folder.Write(QStringLiteral("main.ini"), "[Skin]\nStyleSheet=main.qss\n");
    folder.Write(QStringLiteral("main.qss"), "QLabel { background-color: #ff0000; border: none; }\n"
                                             "QWidget#window { padding: 1px; }");
    TSkinData set;

    // A window with a bar and a pane, each with a label.
    QWidget window;
    window.setObjectName(QStringLiteral("window"));
    window.resize(200, 100);
    auto *layout = new QVBoxLayout(&window);
    auto *bar = new QFrame(&window);
    auto *pane = new QFrame(&window);
    auto *inBar = new QLabel(bar);
    auto *inPane = new QLabel(pane);
    for (QLabel *label : {inBar, inPane})
        label->resize(16, 16);
    layout->addWidget(bar);
    layout->addWidget(pane);
    const QColor plain = CentreOf(*inBar);
    QVERIFY(plain != QColor(Qt::red));

    Skins::AttachApartFrom(&window, {&set}, bar);
    set.LoadFromFile(folder.Path(QStringLiteral("main.ini")));
    QCOMPARE(CentreOf(*inPane), QColor(Qt::red));
    QCOMPARE(CentreOf(*inBar), plain);
    QCOMPARE(window.styleSheet(), QStringLiteral("QWidget#window { padding: 1px; }"));

    // A dialog opened later over the window gets the skin too.
    QDialog dialog(&window);
    auto *inDialog = new QLabel(&dialog);
    inDialog->resize(16, 16);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(CentreOf(*inDialog), QColor(Qt::red));

    // Cleared and loaded again: everything follows, the bar stays plain.
    set.Clear();
    QCOMPARE(CentreOf(*inPane), plain);
    QVERIFY(window.styleSheet().isEmpty());
    set.LoadFromFile(folder.Path(QStringLiteral("main.ini")));
    QCOMPARE(CentreOf(*inDialog), QColor(Qt::red));
    QCOMPARE(CentreOf(*inBar), plain);
}

QTEST_MAIN(TestSkins)
#include "tst_skins.moc"
