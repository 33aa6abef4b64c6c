#pragma once

#include <QCollatorSortKey>
#include <QString>
#include <QVariant>

#include <vector>

class QAbstractItemModel;

// The sort keys of one column of a model, one number per row, read once
// from the rows' typed values so that sorting and grouping compare numbers
// only. Numbers and dates are their own key; texts are replaced by their rank
// in the Chinese collation order (pinyin, letter case ignored, digits by
// value; texts starting with a Chinese character after the others), so
// equal texts share a key. Missing values come first.
class TGridKeys
{
public:
    // Reads every row's value of the column in the given role; a column of
    // -1 gives every row a missing value.
    void Build(const QAbstractItemModel &model, int column, int role);

    int Size() const { return int(m_keys.size()); }
    double At(int row) const { return m_keys[size_t(row)]; }

    // Following the model's rows one at a time. Insert makes room for a row
    // whose value is set later; Set returns false when the value is a text
    // the keys have no rank for (the caller rebuilds them), and tells whether
    // the key changed.
    void Insert(int row);
    void Remove(int row);
    bool Set(int row, const QVariant &value, bool *changed = nullptr);

private:
    struct TextKey
    {
        int scriptClass;
        QCollatorSortKey key;
    };
    static int Compare(const TextKey &a, const TextKey &b);
    bool KeyOf(const QVariant &value, double *key) const;

    bool m_texts = false;
    std::vector<double> m_keys;
    std::vector<TextKey> m_ranked; // texts only: one key per rank, in order
};
