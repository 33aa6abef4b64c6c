#pragma once

#include <QString>
#include <QStringList>

#include <vector>

// The program writes its statements in one dialect: text between double
// quotes, LIKE with * and ? as wildcards, dates as #yyyy-MM-dd#, UNION that
// returns its rows in order. This unit turns such a statement into SQLite.
namespace SqlDialect {

// Puts a typed text between double quotes for a statement, doubling every
// double quote inside, so that the text is taken as it is typed and can
// never end the literal early.
// The same quoting names a table or column in SQLite whatever its name.
QString Quote(const QString &text);

// A text as an SQLite string literal, between single quotes, every single
// quote inside doubled: for statements written for the engine itself.
QString SqliteLiteral(const QString &value);

struct Token
{
    enum Kind { Space, Word, String, Number, Symbol, Bracketed, Other };
    Kind kind = Other;
    QString text;  // as translated
    int depth = 0; // parenthesis depth the token stands at
    bool isKeyword(const char *word) const;
};

struct Translation
{
    QString sql;               // the SQLite statement
    std::vector<Token> tokens; // its tokens, for the layer's own analysis
    bool isSelect = false;
    bool hasUnion = false;   // UNION without ALL at the outer level
    bool hasOrderBy = false; // ORDER BY at the outer level
    bool hasDistinct = false;
    bool hasGroupBy = false;
};

// Throws EDAOError when a literal cannot be read (an unterminated string, a
// date that is no date).
Translation Translate(const QString &statement);

// "ORDER BY 1,2,...,n": what makes a UNION return its rows ordered by their
// columns.
QString OrderByAllColumns(int columnCount);

// The name under which the statement's FROM clause refers to the table: its
// alias when it has one, else the table's own name; empty when the table is
// not there or appears more than once.
QString TableQualifier(const Translation &translation, const QString &table);

// The statement with an extra first column inserted right after the outer
// SELECT keyword.
QString WithLeadingColumn(const Translation &translation, const QString &column);

} // namespace SqlDialect
