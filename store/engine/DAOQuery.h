#pragma once

#include "store/engine/DAODataset.h"

#include <QStringList>

// A statement in the program's dialect, run on a database object: Open for
// a SELECT (the rows become the dataset), Execute for the others.
class TDAOQuery : public TDAODataset
{
    Q_OBJECT

public:
    explicit TDAOQuery(QObject *parent = nullptr);

    QStringList SQL() const { return m_sql; }
    // A different text closes the query first.
    void SetSQL(const QStringList &lines);
    void SetSQL(const QString &text) { SetSQL(QStringList{text}); }
    // The statement as sent: the lines joined, line breaks made blanks.
    QString StatementText() const;

    void Open();
    void Execute();
    int RowsAffected() const { return m_rowsAffected; }

private:
    QStringList m_sql;
    int m_rowsAffected = 0;
};
