#include "toolkit/GridKeys.h"

#include <QAbstractItemModel>
#include <QCollator>
#include <QDate>
#include <QDateTime>
#include <QHashFunctions>
#include <QLocale>

#include <algorithm>
#include <limits>
#include <numeric>

namespace {

constexpr double Missing = -std::numeric_limits<double>::infinity();

const QCollator &Collator()
{
    static const QCollator collator = [] {
        QCollator c(QLocale(QLocale::Chinese, QLocale::China));
        c.setCaseSensitivity(Qt::CaseInsensitive);
        c.setNumericMode(true);
        return c;
    }();
    return collator;
}

bool IsText(const QVariant &value)
{
    return value.typeId() == QMetaType::QString;
}

// As everywhere else on the desktop, texts that start with a Chinese
// character come after those that start with a digit or a letter; the
// Chinese collation alone would put them first.
int ScriptClass(const QString &text)
{
    for (const QChar c : text) {
        if (c.isSpace())
            continue;
        const char32_t u = c.unicode();
        return (u >= 0x2E80 && u <= 0x9FFF) || (u >= 0xF900 && u <= 0xFAFF) || c.isHighSurrogate() ? 1 : 0;
    }
    return 0;
}

} // namespace

void TGridKeys::Build(const QAbstractItemModel &model, int column, int role)
{
    const int rows = column < 0 ? 0 : model.rowCount();
    std::vector<QVariant> values;
    values.reserve(size_t(rows));
    m_texts = false;
    for (int r = 0; r < rows; ++r) {
        values.push_back(model.data(model.index(r, column), role));
        m_texts = m_texts || IsText(values.back());
    }
    m_keys.assign(size_t(model.rowCount()), Missing);
    m_ranked.clear();
    if (!m_texts) {
        for (int r = 0; r < rows; ++r)
            KeyOf(values[size_t(r)], &m_keys[size_t(r)]);
        return;
    }

    // Rank each distinct text once; rows then carry their text's rank,
    // texts equal in the collation's sense the same one. The distinct texts
    // are found by sorting the rows by their texts' hashes: numbers compare
    // faster than texts.
    std::vector<QString> texts(values.size());
    std::vector<size_t> hashes(values.size());
    for (size_t r = 0; r < values.size(); ++r) {
        texts[r] = values[r].toString();
        hashes[r] = qHash(texts[r]);
    }
    values.clear();
    std::vector<int> byHash(texts.size());
    std::iota(byHash.begin(), byHash.end(), 0);
    std::sort(byHash.begin(), byHash.end(), [&](int a, int b) {
        return hashes[size_t(a)] != hashes[size_t(b)] ? hashes[size_t(a)] < hashes[size_t(b)] : a < b;
    });
    std::vector<int> sameAs(texts.size()); // the first row holding the same text
    std::vector<int> runFirsts;            // the distinct texts' first rows among one hash
    for (size_t i = 0; i < byHash.size(); ++i) {
        const int row = byHash[i];
        if (i == 0 || hashes[size_t(row)] != hashes[size_t(byHash[i - 1])])
            runFirsts.clear();
        const auto it = std::find_if(runFirsts.begin(), runFirsts.end(),
                                     [&](int first) { return texts[size_t(first)] == texts[size_t(row)]; });
        sameAs[size_t(row)] = it == runFirsts.end() ? row : *it;
        if (it == runFirsts.end())
            runFirsts.push_back(row);
    }
    // The distinct texts in the order of the rows, which often is nearly
    // their sorted order already.
    std::vector<int> textOf(texts.size());
    std::vector<int> firstRow;
    for (size_t r = 0; r < texts.size(); ++r) {
        if (sameAs[r] == int(r)) {
            textOf[r] = int(firstRow.size());
            firstRow.push_back(int(r));
        } else {
            textOf[r] = textOf[size_t(sameAs[r])];
        }
    }
    const QCollator &collator = Collator();
    std::vector<TextKey> keys;
    keys.reserve(firstRow.size());
    for (int row : firstRow)
        keys.push_back(TextKey{ScriptClass(texts[size_t(row)]), collator.sortKey(texts[size_t(row)])});
    std::vector<int> order(keys.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](int a, int b) { return Compare(keys[size_t(a)], keys[size_t(b)]) < 0; });
    std::vector<double> rankOf(keys.size());
    double rank = -1;
    for (size_t i = 0; i < order.size(); ++i) {
        const TextKey &key = keys[size_t(order[i])];
        if (i == 0 || Compare(m_ranked.back(), key) != 0) {
            ++rank;
            m_ranked.push_back(key);
        }
        rankOf[size_t(order[i])] = rank;
    }
    for (int r = 0; r < rows; ++r)
        m_keys[size_t(r)] = rankOf[size_t(textOf[size_t(r)])];
}

int TGridKeys::Compare(const TextKey &a, const TextKey &b)
{
    if (a.scriptClass != b.scriptClass)
        return a.scriptClass - b.scriptClass;
    return a.key.compare(b.key);
}

bool TGridKeys::KeyOf(const QVariant &value, double *key) const
{
    if (m_texts) {
        const QString text = value.isValid() ? value.toString() : QString();
        const TextKey wanted{ScriptClass(text), Collator().sortKey(text)};
        const auto it = std::lower_bound(m_ranked.begin(), m_ranked.end(), wanted,
                                         [](const TextKey &a, const TextKey &b) { return Compare(a, b) < 0; });
        if (it == m_ranked.end() || Compare(*it, wanted) != 0)
            return false;
        *key = double(it - m_ranked.begin());
        return true;
    }
    if (!value.isValid() || value.isNull()) {
        *key = Missing;
        return true;
    }
    switch (value.typeId()) {
    case QMetaType::QString:
        return false;
    case QMetaType::QDateTime:
        *key = double(value.toDateTime().toMSecsSinceEpoch());
        return true;
    case QMetaType::QDate:
        *key = double(value.toDate().toJulianDay());
        return true;
    default:
        *key = value.toDouble();
        return true;
    }
}

void TGridKeys::Insert(int row)
{
    m_keys.insert(m_keys.begin() + row, Missing);
}

void TGridKeys::Remove(int row)
{
    m_keys.erase(m_keys.begin() + row);
}

bool TGridKeys::Set(int row, const QVariant &value, bool *changed)
{
    double key;
    if (!KeyOf(value, &key))
        return false;
    if (changed)
        *changed = key != m_keys[size_t(row)];
    m_keys[size_t(row)] = key;
    return true;
}
