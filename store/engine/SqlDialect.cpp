#include "store/engine/SqlDialect.h"

#include "store/engine/DateUtils.h"
#include "store/engine/Errors.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>

namespace SqlDialect {

QString Quote(const QString &text)
{
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

bool Token::isKeyword(const char *word) const
{
    return kind == Word && text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}

QString SqliteLiteral(const QString &value)
{
    QString escaped = value;
    escaped.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + escaped + QLatin1Char('\'');
}

namespace {

bool IsWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c.unicode() >= 0x80;
}

// A pattern of the program's LIKE: * any run, ? any one character, every
// other character itself. SQLite's own % and _ are escaped; the ESCAPE
// clause is added only when needed, since it keeps SQLite from using an
// index for a prefix search.
QString LikePattern(const QString &pattern, bool &needsEscape)
{
    needsEscape = pattern.contains(QLatin1Char('%')) || pattern.contains(QLatin1Char('_'));
    QString out;
    out.reserve(pattern.size() + 4);
    for (QChar c : pattern) {
        if (c == QLatin1Char('*'))
            out += QLatin1Char('%');
        else if (c == QLatin1Char('?'))
            out += QLatin1Char('_');
        else if (needsEscape && (c == QLatin1Char('%') || c == QLatin1Char('_') || c == QLatin1Char('\\')))
            out += QLatin1Char('\\') + c;
        else
            out += c;
    }
    return out;
}

// #yyyy-MM-dd#, #mm/dd/yyyy# and either with a time of day, as a day count.
QString DateLiteral(const QString &inner)
{
    const QString text = inner.trimmed();
    static const char *const formats[] = {
        "yyyy-MM-dd",          "yyyy-M-d",         "yyyy-MM-dd HH:mm:ss",
        "yyyy-MM-dd H:mm:ss",  "yyyy-MM-dd HH:mm", "M/d/yyyy",
        "M/d/yyyy h:mm:ss AP", "M/d/yyyy H:mm:ss", "M/d/yyyy h:mm AP",
    };
    const QLocale c = QLocale::c();
    for (const char *format : formats) {
        const QDateTime dt = c.toDateTime(text, QLatin1String(format));
        if (dt.isValid())
            return QString::number(DateUtils::ToDays(dt), 'g', 17);
        const QDate d = c.toDate(text, QLatin1String(format));
        if (d.isValid())
            return QString::number(DateUtils::ToDays(d), 'g', 17);
    }
    throw EDAOError(QStringLiteral("Syntax error in date in query expression '#%1#'.").arg(inner), 3075);
}

std::vector<Token> Tokenize(const QString &sql)
{
    std::vector<Token> tokens;
    int depth = 0;
    const qsizetype n = sql.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = sql.at(i);
        Token t;
        t.depth = depth;
        if (c.isSpace()) {
            qsizetype j = i;
            while (j < n && sql.at(j).isSpace())
                ++j;
            t.kind = Token::Space;
            t.text = QStringLiteral(" ");
            i = j;
        } else if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            // A doubled quote inside stands for one quote of the text.
            QString value;
            qsizetype j = i + 1;
            bool closed = false;
            while (j < n) {
                if (sql.at(j) == c) {
                    if (j + 1 < n && sql.at(j + 1) == c) {
                        value += c;
                        j += 2;
                        continue;
                    }
                    closed = true;
                    ++j;
                    break;
                }
                value += sql.at(j++);
            }
            if (!closed)
                throw EDAOError(QStringLiteral("Syntax error in string in query expression '%1'.").arg(sql.mid(i)),
                                3075);
            t.kind = Token::String;
            t.text = value; // the bare value for now; quoted when emitted
            i = j;
        } else if (c == QLatin1Char('#')) {
            const qsizetype end = sql.indexOf(QLatin1Char('#'), i + 1);
            if (end < 0)
                throw EDAOError(QStringLiteral("Syntax error in date in query expression '%1'.").arg(sql.mid(i)), 3075);
            t.kind = Token::Number;
            t.text = DateLiteral(sql.mid(i + 1, end - i - 1));
            i = end + 1;
        } else if (c == QLatin1Char('[')) {
            const qsizetype end = sql.indexOf(QLatin1Char(']'), i + 1);
            const qsizetype stop = end < 0 ? n : end + 1;
            t.kind = Token::Bracketed;
            t.text = sql.mid(i, stop - i);
            i = stop;
        } else if (c.isDigit() || (c == QLatin1Char('.') && i + 1 < n && sql.at(i + 1).isDigit())) {
            qsizetype j = i;
            while (j < n && (sql.at(j).isDigit() || sql.at(j) == QLatin1Char('.')))
                ++j;
            if (j < n && (sql.at(j) == QLatin1Char('e') || sql.at(j) == QLatin1Char('E'))) {
                qsizetype k = j + 1;
                if (k < n && (sql.at(k) == QLatin1Char('+') || sql.at(k) == QLatin1Char('-')))
                    ++k;
                if (k < n && sql.at(k).isDigit()) {
                    j = k;
                    while (j < n && sql.at(j).isDigit())
                        ++j;
                }
            }
            t.kind = Token::Number;
            t.text = sql.mid(i, j - i);
            i = j;
        } else if (IsWordChar(c)) {
            qsizetype j = i;
            while (j < n && IsWordChar(sql.at(j)))
                ++j;
            t.kind = Token::Word;
            t.text = sql.mid(i, j - i);
            i = j;
        } else {
            t.kind = Token::Symbol;
            const QString two = sql.mid(i, 2);
            if (two == QLatin1String("<>") || two == QLatin1String("<=") || two == QLatin1String(">=") ||
                two == QLatin1String("!=") || two == QLatin1String("||")) {
                t.text = two;
                i += 2;
            } else {
                t.text = QString(c);
                ++i;
                if (c == QLatin1Char('(')) {
                    ++depth;
                } else if (c == QLatin1Char(')')) {
                    --depth;
                    t.depth = depth;
                }
            }
            if (t.text == QLatin1String("&"))
                t.text = QStringLiteral("||"); // text concatenation
        }
        tokens.push_back(std::move(t));
    }
    return tokens;
}

const Token *PreviousSignificant(const std::vector<Token> &tokens, size_t index)
{
    while (index > 0) {
        --index;
        if (tokens[index].kind != Token::Space)
            return &tokens[index];
    }
    return nullptr;
}

QString DefaultForType(const std::vector<Token> &tokens, size_t typeIndex)
{
    const Token &type = tokens[typeIndex];
    for (const char *word : {"TEXT", "CHAR", "VARCHAR", "MEMO", "LONGTEXT"})
        if (type.isKeyword(word))
            return QStringLiteral("''");
    return QStringLiteral("0");
}

// ALTER TABLE t ADD [COLUMN] c type [NOT NULL]: text columns compare without
// regard to letter case, a memo is long text, and a NOT NULL column gets the
// empty default that lets SQLite add it to a table that already has rows.
void TranslateAddColumn(std::vector<Token> &tokens)
{
    std::vector<size_t> words;
    for (size_t i = 0; i < tokens.size(); ++i)
        if (tokens[i].kind != Token::Space)
            words.push_back(i);
    if (words.size() < 5 || !tokens[words[0]].isKeyword("ALTER") || !tokens[words[1]].isKeyword("TABLE") ||
        !tokens[words[3]].isKeyword("ADD"))
        return;
    size_t k = 4;
    if (tokens[words[k]].isKeyword("COLUMN"))
        ++k;
    if (k + 1 >= words.size())
        return;
    const size_t typeIndex = words[k + 1];
    Token &type = tokens[typeIndex];
    const bool isText = type.isKeyword("TEXT") || type.isKeyword("CHAR") || type.isKeyword("VARCHAR") ||
                        type.isKeyword("MEMO") || type.isKeyword("LONGTEXT");
    if (type.isKeyword("MEMO"))
        type.text = QStringLiteral("LONGTEXT");

    bool notNull = false;
    bool hasDefault = false;
    for (size_t w = k + 2; w < words.size(); ++w) {
        if (tokens[words[w]].isKeyword("NULL") && tokens[words[w - 1]].isKeyword("NOT"))
            notNull = true;
        if (tokens[words[w]].isKeyword("DEFAULT"))
            hasDefault = true;
    }
    // The type may carry a width in parentheses; the additions go after it.
    size_t after = typeIndex;
    if (k + 2 < words.size() && tokens[words[k + 2]].text == QLatin1String("(")) {
        for (size_t w = k + 2; w < words.size(); ++w)
            if (tokens[words[w]].text == QLatin1String(")")) {
                after = words[w];
                break;
            }
    }
    QString extra;
    if (isText)
        extra += QStringLiteral(" COLLATE NOCASE");
    Token addition;
    addition.kind = Token::Other;
    addition.text = extra;
    tokens.insert(tokens.begin() + qsizetype(after) + 1, addition);
    if (notNull && !hasDefault) {
        Token def;
        def.kind = Token::Other;
        def.text = QStringLiteral(" DEFAULT ") + DefaultForType(tokens, typeIndex);
        tokens.push_back(def);
    }
}

} // namespace

Translation Translate(const QString &statement)
{
    Translation result;
    result.tokens = Tokenize(statement);
    std::vector<Token> &tokens = result.tokens;

    const Token *first = nullptr;
    for (const Token &t : tokens)
        if (t.kind != Token::Space) {
            first = &t;
            break;
        }
    result.isSelect = first && first->isKeyword("SELECT");
    if (first && first->isKeyword("ALTER"))
        TranslateAddColumn(tokens);

    for (size_t i = 0; i < tokens.size(); ++i) {
        Token &t = tokens[i];
        if (t.kind == Token::String) {
            const Token *prev = PreviousSignificant(tokens, i);
            if (prev && prev->isKeyword("LIKE")) {
                bool needsEscape = false;
                t.text = SqliteLiteral(LikePattern(t.text, needsEscape));
                if (needsEscape)
                    t.text += QStringLiteral(" ESCAPE '\\'");
            } else {
                t.text = SqliteLiteral(t.text);
            }
            continue;
        }
        if (t.kind != Token::Word || t.depth != 0)
            continue;
        if (t.isKeyword("UNION")) {
            size_t j = i + 1;
            while (j < tokens.size() && tokens[j].kind == Token::Space)
                ++j;
            if (!(j < tokens.size() && tokens[j].isKeyword("ALL")))
                result.hasUnion = true;
        } else if (t.isKeyword("ORDER")) {
            result.hasOrderBy = true;
        } else if (t.isKeyword("GROUP")) {
            result.hasGroupBy = true;
        } else if (t.isKeyword("DISTINCT") || t.isKeyword("DISTINCTROW")) {
            result.hasDistinct = true;
            if (t.isKeyword("DISTINCTROW"))
                t.text = QStringLiteral("DISTINCT");
        }
    }

    QString sql;
    for (const Token &t : tokens)
        sql += t.text;
    // Ends of statement, and blanks between them, are no part of it: a clause
    // may be added after the statement.
    result.sql = sql.trimmed();
    while (result.sql.endsWith(QLatin1Char(';')))
        result.sql = result.sql.chopped(1).trimmed();
    return result;
}

QString OrderByAllColumns(int columnCount)
{
    QStringList columns;
    for (int i = 1; i <= columnCount; ++i)
        columns << QString::number(i);
    return QStringLiteral(" ORDER BY ") + columns.join(QLatin1Char(','));
}

QString TableQualifier(const Translation &translation, const QString &table)
{
    const std::vector<Token> &tokens = translation.tokens;
    std::vector<size_t> words;
    for (size_t i = 0; i < tokens.size(); ++i)
        if (tokens[i].kind != Token::Space)
            words.push_back(i);

    auto bare = [](const Token &t) {
        QString name = t.text;
        if (t.kind == Token::Bracketed)
            name = name.mid(1, name.size() - 2);
        return name;
    };
    auto isClauseWord = [](const Token &t) {
        for (const char *word : {"LEFT", "RIGHT", "INNER", "OUTER", "JOIN", "ON", "WHERE", "ORDER", "GROUP", "HAVING",
                                 "UNION", "CROSS", "NATURAL", "USING", "LIMIT"})
            if (t.isKeyword(word))
                return true;
        return false;
    };

    bool inFrom = false;
    int found = 0;
    QString qualifier;
    for (size_t w = 0; w < words.size(); ++w) {
        const Token &t = tokens[words[w]];
        if (t.isKeyword("FROM")) {
            inFrom = true;
            continue;
        }
        if (t.isKeyword("WHERE") || t.isKeyword("SELECT"))
            inFrom = false;
        if (!inFrom || (t.kind != Token::Word && t.kind != Token::Bracketed))
            continue;
        if (bare(t).compare(table, Qt::CaseInsensitive) != 0)
            continue;
        // Skip "x.Table" and column references: a table name in FROM is not
        // preceded by a dot.
        if (w > 0 && tokens[words[w - 1]].text == QLatin1String("."))
            continue;
        ++found;
        qualifier = bare(t);
        if (w + 1 < words.size()) {
            const Token &next = tokens[words[w + 1]];
            if (next.isKeyword("AS") && w + 2 < words.size())
                qualifier = bare(tokens[words[w + 2]]);
            else if ((next.kind == Token::Word || next.kind == Token::Bracketed) && !isClauseWord(next))
                qualifier = bare(next);
        }
    }
    return found == 1 ? qualifier : QString();
}

QString WithLeadingColumn(const Translation &translation, const QString &column)
{
    QString sql;
    bool inserted = false;
    for (const Token &t : translation.tokens) {
        sql += t.text;
        if (!inserted && t.isKeyword("SELECT")) {
            sql += QLatin1Char(' ') + column + QLatin1Char(',');
            inserted = true;
        }
    }
    return sql.trimmed();
}

} // namespace SqlDialect
