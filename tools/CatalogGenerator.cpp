#include "tools/CatalogGenerator.h"

#include "pinyin/GbkText.h"
#include "pinyin/Spell.h"
#include "store/engine/CatalogOpening.h"
#include "store/engine/DAODatabase.h"
#include "store/engine/DateUtils.h"
#include "store/engine/Errors.h"

#include <QDate>
#include <QFile>
#include <QStringList>

#include <sqlcipher/sqlite3.h>

#include <memory>
#include <random>
#include <vector>

namespace CatalogGenerator {

namespace {

// Titles as people write them on their discs, the words put before and
// after them, and the other texts a disc record holds.
const char *const Titles[] = {
    "英雄",       "大话西游", "金曲",     "西游记",     "红楼梦",   "三国演义",   "水浒传",     "天龙八部",
    "射雕英雄传", "笑傲江湖", "鹿鼎记",   "仙剑奇侠传", "魔兽争霸", "星际争霸",   "红色警戒",   "帝国时代",
    "流行歌曲",   "古典音乐", "钢琴曲",   "民歌",       "摇滚",     "英语听力",   "新概念英语", "日语入门",
    "办公软件",   "操作系统", "杀毒软件", "图像处理",   "网页设计", "数据库",     "程序设计",   "动画片",
    "纪录片",     "动物世界", "自然风光", "中国地图",   "百科全书", "成语故事",   "唐诗三百首", "少儿英语",
    "儿童歌曲",   "京剧",     "相声小品", "春节晚会",   "世界杯",   "篮球",       "武术",       "太极拳",
    "烹饪",       "健身操",   "家庭医生", "法律顾问",   "驱动程序", "系统备份",   "照片",       "婚礼录像",
    "毕业典礼",   "旅游",     "长城",     "黄山",       "小李飞刀", "新龙门客栈", "学习软件",   "电脑教程",
};
const char *const Prefixes[] = {
    "经典", "精选", "最新", "珍藏", "高清", "国语", "粤语", "怀旧", "中文", "完全", "实用", "超级",
};
const char *const Suffixes[] = {
    "合集",   "全集",   "精选", "上", "下", "大全", "珍藏版", "典藏版", "教程",
    "第一部", "第二部", "1",    "2",  "3",  "CD1",  "CD2",    "光盘",   "续集",
};
const char *const TopFolders[TopFolderCount] = {
    "电影", "音乐", "软件", "游戏", "教学", "动画", "资料", "电视剧", "综艺", "戏曲",
    "体育", "儿童", "外语", "系统", "驱动", "图片", "备份", "文档",   "工具", "其他",
};
const char *const Categories[CategoryCount] = {
    "电影", "音乐", "软件", "游戏", "教学", "动画", "资料", "电视剧", "综艺", "戏曲",
    "体育", "儿童", "外语", "系统", "驱动", "图片", "备份", "文档",   "工具", "其他",
};
const char *const Qualities[QualityCount] = {"全新", "良好", "一般", "较差", "损坏"};
const char *const Places[] = {
    "书房柜子第%1层", "客厅电视柜第%1格", "光盘包%1", "办公室抽屉%1", "卧室书架第%1排", "储藏室纸箱%1",
};
const char *const MemoLines[] = {
    "正版光盘，包装完好。",
    "朋友送的。",
    "含中文字幕。",
    "已经备份到移动硬盘。",
    "安装序列号写在封面背面。",
    "音质很好，值得推荐。",
    "有几道划痕，读盘稍慢。",
    "在电脑城买的。",
    "适合初学者。",
    "共两张，这是第一张。",
    "共两张，这是第二张。",
    "借给同事过，已经还回。",
    "画面清晰，是高清版本。",
    "附带说明书一本。",
    "需要先安装播放器。",
    "孩子很喜欢看。",
};

template <typename T, size_t N> constexpr int Count(const T (&)[N])
{
    return int(N);
}

class Random
{
public:
    explicit Random(quint32 seed)
        : m_engine(seed)
    {
    }
    // 0 <= result < n; the modulo keeps the sequence the same everywhere,
    // which the standard distributions do not promise.
    int Below(int n) { return int(m_engine() % quint32(n)); }
    int Between(int low, int high) { return low + Below(high - low + 1); }
    bool Chance(int percent) { return Below(100) < percent; }

private:
    std::mt19937 m_engine;
};

QString U(const char *text)
{
    return QString::fromUtf8(text);
}

QString MakeName(Random &random)
{
    QString name = U(Titles[random.Below(Count(Titles))]);
    const int pattern = random.Below(10);
    if (pattern >= 3 && pattern < 6)
        name = U(Prefixes[random.Below(Count(Prefixes))]) + name;
    else if (pattern >= 6 && pattern < 8)
        name += U(Suffixes[random.Below(Count(Suffixes))]);
    else if (pattern >= 8)
        name = U(Prefixes[random.Below(Count(Prefixes))]) + name + U(Suffixes[random.Below(Count(Suffixes))]);
    return GbkText::Truncate(name, 20);
}

QString MakeMemo(Random &random)
{
    QStringList lines;
    const int count = random.Between(2, 4);
    while (lines.size() < count) {
        const QString line = U(MemoLines[random.Below(Count(MemoLines))]);
        if (!lines.contains(line))
            lines << line;
    }
    return lines.join(QStringLiteral("\r\n"));
}

QString MakeSerial(Random &random)
{
    return QStringLiteral("%1-%2")
        .arg(random.Below(0x10000), 4, 16, QLatin1Char('0'))
        .arg(random.Below(0x10000), 4, 16, QLatin1Char('0'))
        .toUpper();
}

QString MakeLocation(Random &random)
{
    return U(Places[random.Below(Count(Places))]).arg(random.Between(1, 12));
}

struct Db
{
    sqlite3 *handle = nullptr;

    void exec(const char *sql)
    {
        char *error = nullptr;
        const int rc = sqlite3_exec(handle, sql, nullptr, nullptr, &error);
        if (rc != SQLITE_OK) {
            const QString message = QString::fromUtf8(error ? error : sqlite3_errstr(rc));
            sqlite3_free(error);
            throw EDAOError(message, rc);
        }
    }
    sqlite3_stmt *prepare(const QString &sql)
    {
        const QByteArray text = sql.toUtf8();
        sqlite3_stmt *stmt = nullptr;
        const int rc = sqlite3_prepare_v2(handle, text.constData(), int(text.size()), &stmt, nullptr);
        if (rc != SQLITE_OK) {
            sqlite3_finalize(stmt);
            TDAODatabase::RaiseEngineError(handle, rc, sql);
        }
        return stmt;
    }
    void step(sqlite3_stmt *stmt)
    {
        const int rc = sqlite3_step(stmt);
        sqlite3_reset(stmt);
        sqlite3_clear_bindings(stmt);
        if (rc != SQLITE_DONE)
            TDAODatabase::RaiseEngineError(handle, rc);
    }
};

using Statement = TStatementHandle;

void BindText(sqlite3_stmt *stmt, int index, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    sqlite3_bind_text(stmt, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

void InsertNames(Db &db, const char *table, const char *const *names, int count)
{
    Statement stmt(db.prepare(QStringLiteral("INSERT INTO %1 (Id, Name) VALUES (?, ?)").arg(QLatin1String(table))));
    for (int i = 0; i < count; ++i) {
        sqlite3_bind_int(stmt.get(), 1, i + 1);
        BindText(stmt.get(), 2, U(names[i]));
        db.step(stmt.get());
    }
}

// The shape of the folder tree for a number of folders.
struct FolderTree
{
    explicit FolderTree(int folders)
        : top(qMin(TopFolderCount, folders))
        , years(qMin(folders - top, top * YearsPerTopFolder))
        , boxes(folders - top - years)
    {
    }
    // Of count folders spread evenly over parents, how many go under the
    // parent-th one.
    static int Share(int count, int parents, int parent)
    {
        return count / parents + (parent < count % parents ? 1 : 0);
    }
    int top;   // directly below the root
    int years; // below the top folders, named by year
    int boxes; // below the year folders
};

void InsertFolders(Db &db, const FolderTree &tree)
{
    Statement stmt(db.prepare(QStringLiteral("INSERT INTO TbTree (ID, Id1, Name) VALUES (?, ?, ?)")));
    int id = Schema::RootFolderId + 1;
    auto insert = [&](int parentId, const QString &name) {
        sqlite3_bind_int(stmt.get(), 1, id);
        sqlite3_bind_int(stmt.get(), 2, parentId);
        BindText(stmt.get(), 3, name);
        db.step(stmt.get());
        return id++;
    };
    for (int top = 0; top < tree.top; ++top)
        insert(Schema::RootFolderId, U(TopFolders[top]));
    // The subfolders of each top folder, one per year.
    QList<int> yearIds;
    for (int top = 0; top < tree.top; ++top)
        for (int child = 0; child < FolderTree::Share(tree.years, tree.top, top); ++child)
            yearIds << insert(Schema::RootFolderId + 1 + top, QStringLiteral("%1年").arg(2016 + child));
    // The boxes of each year.
    for (int year = 0; year < yearIds.size(); ++year)
        for (int child = 0; child < FolderTree::Share(tree.boxes, int(yearIds.size()), year); ++child)
            insert(yearIds[year], QStringLiteral("光盘盒%1").arg(child + 1));
}

} // namespace

namespace {

void FillCatalog(const QString &path, int discs, Schema::Layout layout, quint32 seed, int folders)
{
    const FolderTree tree(folders);
    const int lowerFolders = folders - tree.top;
    const QString password = QString::fromLatin1(Schema::CatalogPassword);
    Db db;
    const TCatalogHandle owner = OpenCatalogHandle(path, password, false);
    db.handle = owner.get();
    // A cache that holds the whole file keeps the index pages from being
    // written out and read back while the rows go in.
    db.exec("PRAGMA cache_size=-262144");
    db.exec("BEGIN");

    InsertNames(db, "TbCategory", Categories, CategoryCount);
    InsertNames(db, "TbQuality", Qualities, QualityCount);
    InsertFolders(db, tree);

    const bool current = layout >= Schema::Layout::Build101;
    const QString columns = QStringLiteral("ID, Day, Code, Serial, Name, CId, TId, QId, DId, Price, Location, Memo") +
                            (current ? QStringLiteral(", Picture, Spell") : QString());
    const int columnCount = current ? 14 : 12;
    QStringList marks;
    for (int i = 0; i < columnCount; ++i)
        marks << QStringLiteral("?");
    Statement insert(
        db.prepare(QStringLiteral("INSERT INTO TbCd (%1) VALUES (%2)").arg(columns, marks.join(QLatin1Char(',')))));
    sqlite3_stmt *stmt = insert.get();

    Random random(seed);
    const int firstDay = int(DateUtils::ToDays(QDate(2015, 1, 1)));
    const int lastDay = int(DateUtils::ToDays(QDate(2024, 12, 31)));
    for (int i = 1; i <= discs; ++i) {
        const QString name = MakeName(random);
        sqlite3_bind_int(stmt, 1, i);
        sqlite3_bind_double(stmt, 2, double(random.Between(firstDay, lastDay)));
        BindText(stmt, 3, QString::number(i));
        BindText(stmt, 4, MakeSerial(random));
        BindText(stmt, 5, name);
        sqlite3_bind_int(stmt, 6, random.Between(1, CategoryCount));
        // Most discs sit below a top folder, some in a top folder.
        int folder = Schema::RootFolderId;
        if (folders > 0) {
            const bool inTop = random.Chance(15);
            folder = inTop || lowerFolders == 0 ? Schema::RootFolderId + 1 + random.Below(tree.top)
                                                : Schema::RootFolderId + 1 + tree.top + random.Below(lowerFolders);
        }
        sqlite3_bind_int(stmt, 7, folder);
        sqlite3_bind_int(stmt, 8, random.Between(1, QualityCount));
        sqlite3_bind_int(stmt, 9, 0);
        sqlite3_bind_double(stmt, 10, random.Between(500, 19900) / 100.0);
        BindText(stmt, 11, MakeLocation(random));
        BindText(stmt, 12, MakeMemo(random));
        if (current) {
            const bool picture = random.Chance(10);
            BindText(stmt, 13, picture ? QStringLiteral("cd%1.jpg").arg(i) : QString());
            BindText(stmt, 14, GbkText::Truncate(GetSpell(name), 20));
        }
        db.step(stmt);
    }
    insert.reset();
    db.exec("COMMIT");
}

} // namespace

void GenerateCatalog(const QString &path, int discs, Schema::Layout layout, quint32 seed, int folders)
{
    if (folders < 0)
        throw EAppError(QStringLiteral("a negative number of folders: %1").arg(folders));
    Schema::CreateCatalog(path, layout, false, QString::fromLatin1(Schema::CatalogPassword));
    try {
        FillCatalog(path, discs, layout, seed, folders);
    } catch (...) {
        // A half-written catalog would pass for a generated one.
        QFile::remove(path);
        throw;
    }
}

} // namespace CatalogGenerator
