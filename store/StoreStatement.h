#pragma once

#include "DAODatabase.h"

#include <QString>

struct sqlite3_stmt;

// One prepared statement of the store's own, with typed bindings and typed
// column reads; finalised at the end of its scope. Engine errors are raised
// as the data-access layer raises them.
class TStoreStatement
{
public:
    TStoreStatement(TDAODatabase &db, const QString &sql);
    ~TStoreStatement();
    TStoreStatement(const TStoreStatement &) = delete;
    TStoreStatement &operator=(const TStoreStatement &) = delete;

    TStoreStatement &Bind(int index, const QString &text);
    TStoreStatement &Bind(int index, qint64 value);
    TStoreStatement &Bind(int index, double value);
    TStoreStatement &BindNull(int index);

    // Steps to the next row; false when there is none.
    bool Next();
    // Runs a statement that returns no rows.
    void Run();

    bool IsNull(int column) const;
    qint64 Integer(int column) const;
    double Number(int column) const;
    QString Text(int column) const;

private:
    TDAODatabase &m_db;
    sqlite3_stmt *m_stmt;
};
