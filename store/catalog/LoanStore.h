#pragma once

#include <QDate>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

class TDAODatabase;

// Discs lent to people and given back. The loans table is made by the first
// loan, in that loan's transaction: a catalog that never lent a disc keeps
// its tables as they were. Deleting a disc deletes its loans, however the
// disc is deleted.
namespace LoanStore {

// The widest name of a borrower, in GBK bytes.
inline constexpr int BorrowerWidth = 40;

struct TLoan
{
    qint64 Id = 0;
    int CdId = 0;
    QString Borrower;
    QDate Lent;
    QDate Due;
    QDate Returned; // null while the disc is out
    // The disc's name and code, for the lists.
    QString CdName;
    QString CdCode;

    bool IsOut() const { return Returned.isNull(); }
    bool IsOverdue(const QDate &today) const { return IsOut() && Due.isValid() && Due < today; }
};

// Whether the catalog has ever lent a disc (has the loans table).
bool HasLoans(TDAODatabase &db);

// The statements that make the loans table, its indexes and the deletion of
// a disc's loans with the disc.
QStringList CreateStatements();

// Lends the disc: one transaction, the loans table made first when the
// catalog has none. Raises EAppError with a message for the user when the
// borrower is blank or too long, the lending date lies after today or the
// due date before the lending date,
// the disc is not in the catalog or it is out already.
void Lend(TDAODatabase &db, int cdId, const QString &borrower, const QDate &lent, const QDate &due);

// Ends the disc's loan on the day it came back. Raises EAppError when the
// disc is not out or the day lies before the day it was lent.
void Return(TDAODatabase &db, int cdId, const QDate &returned);

// The disc's loan while it is out.
std::optional<TLoan> CurrentLoan(TDAODatabase &db, int cdId);

// Every loan of a disc that is out, by the disc's ID; one statement.
QHash<int, TLoan> CurrentLoans(TDAODatabase &db);

// The discs out, the overdue ones first, then by due date.
QList<TLoan> OpenLoans(TDAODatabase &db, const QDate &today);

// The loans that ended, the latest return first.
QList<TLoan> ReturnedLoans(TDAODatabase &db);

} // namespace LoanStore
