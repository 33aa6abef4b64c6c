#include "pinyin/GbkText.h"
#include "pinyin/Spell.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestSpell : public QObject
{
    Q_OBJECT

private slots:
    void getSpell_data();
    void getSpell();
    void normalizeSpellText_data();
    void normalizeSpellText();
    void firstLevelSweep();
    void textReadsOneByteCharactersAlone_data();
    void textReadsOneByteCharactersAlone();
    void gbkWidth_data();
    void gbkWidth();
    void gbkTruncate_data();
    void gbkTruncate();
    void gbkMid_data();
    void gbkMid();
};

namespace {

QByteArray Gbk(const QString &text)
{
    return GbkText::Encode(text);
}

// Bytes that a QString can carry there and back; a lone lead byte cannot.
bool IsWholeGbk(const QByteArray &gbk)
{
    return GbkText::Encode(GbkText::Decode(gbk)) == gbk;
}

} // namespace

void TestSpell::getSpell_data()
{
    QTest::addColumn<QByteArray>("gbk");
    QTest::addColumn<QString>("expected");

    QTest::newRow("one letter a character") << Gbk(u"藏金阁"_s) << u"CJG"_s;
    QTest::newRow("space dropped, digits kept") << Gbk(u"光盘 2003"_s) << u"GP2003"_s;
    QTest::newRow("full-width letters folded") << Gbk(u"ＶＣＤ合集"_s) << u"VCDHJ"_s;
    QTest::newRow("ideographic space dropped") << Gbk(u"大　话"_s) << u"DH"_s;
    QTest::newRow("punctuation row falls to Z") << Gbk(u"《英雄》"_s) << u"ZYXZ"_s;
    QTest::newRow("last X character") << Gbk(u"迅雷"_s) << u"XL"_s;
    QTest::newRow("second-level character") << Gbk(u"鑫"_s) << u"Z"_s;
    QTest::newRow("ASCII upper-cased") << Gbk(u"Windows 98 安装盘"_s) << u"WINDOWS98AZP"_s;
    QTest::newRow("range edges 啊澳芭学压座") << Gbk(u"啊澳芭学压座"_s) << u"AABXYZ"_s;
    QTest::newRow("full-width digits") << Gbk(u"ＣＤ１２"_s) << u"CD12"_s;
    QTest::newRow("punctuation kept") << Gbk(u"Ａ-1"_s) << u"A-1"_s;
    QTest::newRow("GBK extension inside a range") << QByteArray("\xC1\x40") << u"L"_s;
    QTest::newRow("second byte in the letter range") << QByteArray("\xC1\x41") << u"L"_s;
    QTest::newRow("lone lead byte at the end") << QByteArray("\xC1") << u"L"_s;
    QTest::newRow("empty") << QByteArray() << QString();
    QTest::newRow("only blanks") << Gbk(u" 　  　"_s) << QString();
}

void TestSpell::getSpell()
{
    QFETCH(QByteArray, gbk);
    QFETCH(QString, expected);

    QCOMPARE(GetSpell(gbk), expected.toLatin1());
    if (IsWholeGbk(gbk))
        QCOMPARE(GetSpell(GbkText::Decode(gbk)), expected);
}

void TestSpell::normalizeSpellText_data()
{
    QTest::addColumn<QByteArray>("gbk");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("folded, lowered, blanks dropped") << Gbk(u"ＶＣＤ　Vcd -1 光盘"_s) << Gbk(u"vcdvcd-1光盘"_s);
    QTest::newRow("full-width macron not folded") << Gbk(u"￣"_s) << QByteArray("\xA3\xFE");
    // 丄 is 81 41: its second byte looks like 'A' but must not be lowered.
    QTest::newRow("character with a letter as second byte") << Gbk(u"丄A"_s) << Gbk(u"丄a"_s);
    QTest::newRow("lone lead byte kept") << QByteArray("a\xC1") << QByteArray("a\xC1");
}

void TestSpell::normalizeSpellText()
{
    QFETCH(QByteArray, gbk);
    QFETCH(QByteArray, expected);

    QCOMPARE(NormalizeSpellText(gbk), expected);
    if (IsWholeGbk(gbk))
        QCOMPARE(NormalizeSpellText(GbkText::Decode(gbk)), GbkText::Decode(expected));
}

// Every first-level GB2312 character must get the initial of its reading.
// The expected letter changes at the first character of each initial, taken
// from the characters themselves rather than from the code table.
void TestSpell::firstLevelSweep()
{
    const QString firsts = u"啊芭擦搭蛾发噶哈击喀垃妈拿哦啪期然撒塌挖昔压匝"_s;
    const QByteArray letters = "ABCDEFGHJKLMNOPQRSTWXYZ";
    QCOMPARE(firsts.size(), letters.size());

    QList<int> firstCodes;
    for (const QChar c : firsts) {
        const QByteArray bytes = Gbk(QString(c));
        QCOMPARE(bytes.size(), 2);
        firstCodes.append(uchar(bytes[0]) << 8 | uchar(bytes[1]));
    }

    int count = 0;
    qsizetype next = 0;
    char expected = 0;
    for (int code = 0xB0A1; code <= 0xD7F9; ++code) {
        const uchar lead = uchar(code >> 8);
        const uchar trail = uchar(code);
        if (trail < 0xA1 || trail > 0xFE)
            continue;
        while (next < firstCodes.size() && code >= firstCodes[next])
            expected = letters[next++];
        ++count;

        const char pair[] = {char(lead), char(trail)};
        const QByteArray bytes(pair, 2);
        const QString text = GbkText::Decode(bytes);
        const QByteArray spell = GetSpell(bytes);
        const bool ok = TableInitial(lead, trail) == expected && spell == QByteArray(1, expected) &&
                        GetSpell(text) == QString(QChar::fromLatin1(expected));
        if (!ok) {
            QFAIL(qPrintable(u"%1 (%2) gave %3, expected %4"_s.arg(
                text, QString::number(code, 16).toUpper(), QString::fromLatin1(spell), QChar::fromLatin1(expected))));
        }
    }
    QCOMPARE(count, 3755);
}

// GBK writes the euro sign (and U+F8F5) as one byte of 0x80 or above, which
// the byte rules pair with the next byte: a text read as QString must not
// lose the characters after it.
void TestSpell::textReadsOneByteCharactersAlone_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("spell");
    QTest::addColumn<QString>("normal");

    QTest::newRow("before characters") << u"€藏金阁"_s << u"ZCJG"_s << u"€藏金阁"_s;
    QTest::newRow("before full-width letters") << u"€ＡＢ 1"_s << u"ZAB1"_s << u"€ab1"_s;
    QTest::newRow("between characters") << u"藏\uF8F5金€阁€"_s << u"CZJZGZ"_s << u"藏\uF8F5金€阁€"_s;
}

void TestSpell::textReadsOneByteCharactersAlone()
{
    QFETCH(QString, text);
    QFETCH(QString, spell);
    QFETCH(QString, normal);
    QCOMPARE(GetSpell(text), spell);
    QCOMPARE(NormalizeSpellText(text), normal);
}

// The width of a text is the length of the GBK bytes it is written as, with
// '?' for what GBK cannot express and nothing for an invisible character,
// however the measurements before it ended.
void TestSpell::gbkWidth_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("gbk");

    QTest::newRow("characters and ASCII") << u"藏金阁 A《"_s << QByteArray("\xB2\xD8\xBD\xF0\xB8\xF3 A\xA1\xB6");
    QTest::newRow("emoji") << u"a😀"_s << QByteArray("a?");
    QTest::newRow("lone high surrogate at the end") << u"名"_s + QChar(0xD800) << QByteArray("\xC3\xFB?");
    QTest::newRow("high surrogate before a character") << QChar(0xD800) + u"名"_s << QByteArray("?\xC3\xFB");
    QTest::newRow("lone low surrogate") << QString(QChar(0xDC00)) << QByteArray("?");
    QTest::newRow("invisible characters left out") << u"A\u200B\u00ADB\uFFF3"_s << QByteArray("AB");
}

void TestSpell::gbkWidth()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, gbk);

    QCOMPARE(GbkText::ByteWidth(text), gbk.size());
    QCOMPARE(GbkText::ByteWidth(u"《"_s), 2); // nothing of the text carries over
    QCOMPARE(GbkText::Encode(text), gbk);
}

void TestSpell::gbkTruncate_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("maxBytes");
    QTest::addColumn<QString>("expected");

    QTest::newRow("between characters") << u"藏金阁"_s << 4 << u"藏金"_s;
    QTest::newRow("never half a character") << u"藏金阁"_s << 5 << u"藏金"_s;
    QTest::newRow("fits") << u"藏金阁"_s << 6 << u"藏金阁"_s;
    QTest::newRow("surrogate pair kept whole") << u"a😀b"_s << 2 << u"a😀"_s;
    QTest::newRow("surrogate pair left out whole") << u"a😀b"_s << 1 << u"a"_s;
    const QString lone = QChar(0xD800) + u"名"_s;
    QTest::newRow("lone surrogate is a character of its own") << lone << 1 << lone.left(1);
    QTest::newRow("lone surrogate, then the character") << lone << 3 << lone;
}

void TestSpell::gbkTruncate()
{
    QFETCH(QString, text);
    QFETCH(int, maxBytes);
    QFETCH(QString, expected);
    QCOMPARE(GbkText::Truncate(text, maxBytes), expected);
}

void TestSpell::gbkMid_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("expected");

    QTest::newRow("on character edges") << u"藏金阁"_s << 2 << 2 << u"金"_s;
    QTest::newRow("a character cut at the start is left out") << u"a藏金阁"_s << 2 << 4 << u"金"_s;
    QTest::newRow("a character cut at the end is left out") << u"藏金阁"_s << 0 << 5 << u"藏金"_s;
    QTest::newRow("ASCII after a cut character") << u"a藏A1"_s << 2 << 10 << u"A1"_s;
    QTest::newRow("past the end") << u"藏"_s << 4 << 2 << QString();
    QTest::newRow("nothing wanted") << u"藏金"_s << 0 << 0 << QString();
}

void TestSpell::gbkMid()
{
    QFETCH(QString, text);
    QFETCH(int, from);
    QFETCH(int, length);
    QFETCH(QString, expected);
    QCOMPARE(GbkText::Mid(text, from, length), expected);
}

QTEST_GUILESS_MAIN(TestSpell)
#include "tst_spell.moc"
