#include "store/catalog/LoanStore.h"

#include "pinyin/GbkText.h"
#include "pinyin/TextBlank.h"
#include "store/engine/BoundStatement.h"
#include "store/engine/DAODatabase.h"
#include "store/engine/DateUtils.h"
#include "store/engine/Errors.h"

#include <algorithm>

namespace LoanStore {

namespace {

QDate DateOf(const TBoundStatement &q, int column)
{
    return q.IsNull(column) ? QDate() : DateUtils::ToDate(q.Number(column));
}

double Days(const QDate &date)
{
    return DateUtils::ToDays(date);
}

// A loan row of "SELECT L.ID, L.CdId, L.Borrower, L.LentDay, L.DueDay,
// L.ReturnedDay, C.Name, C.Code".
constexpr const char *LoanColumns =
    "SELECT L.ID, L.CdId, L.Borrower, L.LentDay, L.DueDay, L.ReturnedDay, C.Name, C.Code "
    "FROM TbLoan AS L LEFT JOIN TbCd AS C ON L.CdId=C.ID";

// The loan's own columns, the first six of a row.
TLoan ReadLoan(const TBoundStatement &q)
{
    TLoan loan;
    loan.Id = q.Int(0);
    loan.CdId = int(q.Int(1));
    loan.Borrower = q.Text(2);
    loan.Lent = DateOf(q, 3);
    loan.Due = DateOf(q, 4);
    loan.Returned = DateOf(q, 5);
    return loan;
}

// A row of LoanColumns: the loan with its disc's name and code.
TLoan ReadLoanOfDisc(const TBoundStatement &q)
{
    TLoan loan = ReadLoan(q);
    loan.CdName = q.Text(6);
    loan.CdCode = q.Text(7);
    return loan;
}

QList<TLoan> ReadLoans(TDAODatabase &db, const QString &where)
{
    QList<TLoan> loans;
    if (!HasLoans(db))
        return loans;
    TBoundStatement q(db, QLatin1String(LoanColumns) + QLatin1Char(' ') + where);
    while (q.Next())
        loans.append(ReadLoanOfDisc(q));
    return loans;
}

bool DiscExists(TDAODatabase &db, int cdId)
{
    TBoundStatement q(db, QStringLiteral("SELECT 1 FROM TbCd WHERE ID=?1"));
    q.Bind(1, qint64(cdId));
    return q.Next();
}

} // namespace

QStringList CreateStatements()
{
    return {
        QStringLiteral("CREATE TABLE TbLoan (ID INTEGER PRIMARY KEY AUTOINCREMENT, CdId INTEGER NOT NULL, "
                       "Borrower TEXT(%1) COLLATE NOCASE NOT NULL, LentDay DATETIME NOT NULL, DueDay DATETIME, "
                       "ReturnedDay DATETIME)")
            .arg(BorrowerWidth),
        QStringLiteral("CREATE INDEX TbLoanCdId ON TbLoan(CdId)"),
        // A disc is out to one borrower at a time.
        QStringLiteral("CREATE UNIQUE INDEX TbLoanOut ON TbLoan(CdId) WHERE ReturnedDay IS NULL"),
        QStringLiteral("CREATE TRIGGER TbCdDeleteLoans AFTER DELETE ON TbCd "
                       "BEGIN DELETE FROM TbLoan WHERE CdId=OLD.ID; END"),
    };
}

bool HasLoans(TDAODatabase &db)
{
    TBoundStatement q(db, QStringLiteral("SELECT 1 FROM sqlite_master WHERE type='table' AND name='TbLoan'"));
    return q.Next();
}

void Lend(TDAODatabase &db, int cdId, const QString &borrower, const QDate &lent, const QDate &due)
{
    const QString name = TextBlank::Trimmed(borrower);
    if (name.isEmpty())
        throw EAppError(QStringLiteral("请填写借给谁。"));
    if (GbkText::ByteWidth(name) > BorrowerWidth)
        throw EAppError(
            QStringLiteral("借给谁最多只能写 %1 个字节（%2 个汉字）。").arg(BorrowerWidth).arg(BorrowerWidth / 2));
    if (!lent.isValid())
        throw EAppError(QStringLiteral("请填写借出日期。"));
    if (lent > DateUtils::ToDate(DateUtils::Today()))
        throw EAppError(QStringLiteral("借出日期不能晚于今天。"));
    if (due.isValid() && due < lent)
        throw EAppError(QStringLiteral("应还日期不能早于借出日期。"));

    TDAOTransaction work(db);
    if (!HasLoans(db)) {
        for (const QString &statement : CreateStatements())
            db.Exec(statement);
    }
    if (!DiscExists(db, cdId))
        throw EAppError(QStringLiteral("这张光盘已经不在光盘夹里了。"));
    if (const auto out = CurrentLoan(db, cdId))
        throw EAppError(QStringLiteral("这张光盘已经借给了“%1”，还没有归还。").arg(out->Borrower));
    TBoundStatement insert(
        db, QStringLiteral("INSERT INTO TbLoan (CdId, Borrower, LentDay, DueDay) VALUES (?1, ?2, ?3, ?4)"));
    insert.Bind(1, qint64(cdId)).Bind(2, name).Bind(3, Days(lent));
    if (due.isValid())
        insert.Bind(4, Days(due));
    else
        insert.BindNull(4);
    insert.Run();
    work.Commit();
}

void Return(TDAODatabase &db, int cdId, const QDate &returned)
{
    const auto out = CurrentLoan(db, cdId);
    if (!out)
        throw EAppError(QStringLiteral("这张光盘没有借出。"));
    if (!returned.isValid() || returned < out->Lent)
        throw EAppError(QStringLiteral("归还日期不能早于借出日期（%1）。").arg(DateUtils::FormatDate(out->Lent)));
    TDAOTransaction work(db);
    TBoundStatement update(db, QStringLiteral("UPDATE TbLoan SET ReturnedDay=?1 WHERE ID=?2"));
    update.Bind(1, Days(returned)).Bind(2, out->Id);
    update.Run();
    work.Commit();
}

std::optional<TLoan> CurrentLoan(TDAODatabase &db, int cdId)
{
    if (!HasLoans(db))
        return std::nullopt;
    TBoundStatement q(db, QLatin1String(LoanColumns) + QStringLiteral(" WHERE L.CdId=?1 AND L.ReturnedDay IS NULL"));
    q.Bind(1, qint64(cdId));
    if (!q.Next())
        return std::nullopt;
    return ReadLoanOfDisc(q);
}

QHash<int, TLoan> CurrentLoans(TDAODatabase &db)
{
    QHash<int, TLoan> loans;
    if (!HasLoans(db))
        return loans;
    TBoundStatement q(db, QStringLiteral("SELECT ID, CdId, Borrower, LentDay, DueDay, ReturnedDay FROM TbLoan "
                                         "WHERE ReturnedDay IS NULL"));
    while (q.Next()) {
        const TLoan loan = ReadLoan(q);
        loans.insert(loan.CdId, loan);
    }
    return loans;
}

QList<TLoan> OpenLoans(TDAODatabase &db, const QDate &today)
{
    QList<TLoan> loans = ReadLoans(db, QStringLiteral("WHERE L.ReturnedDay IS NULL ORDER BY L.LentDay, L.ID"));
    std::stable_sort(loans.begin(), loans.end(), [&today](const TLoan &a, const TLoan &b) {
        if (a.IsOverdue(today) != b.IsOverdue(today))
            return a.IsOverdue(today);
        if (a.Due.isValid() != b.Due.isValid())
            return a.Due.isValid();
        return a.Due < b.Due;
    });
    return loans;
}

QList<TLoan> ReturnedLoans(TDAODatabase &db)
{
    return ReadLoans(db, QStringLiteral("WHERE L.ReturnedDay IS NOT NULL ORDER BY L.ReturnedDay DESC, L.ID DESC"));
}

} // namespace LoanStore
