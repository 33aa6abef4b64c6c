#pragma once

#include "store/catalog/ChoiceList.h"

#include <QAbstractListModel>
#include <QFont>

#include <optional>

class QComboBox;

// The entries of a choice box as one list: the name as its text, the Id as
// its data (Qt::UserRole). A list of thousands of folders is handed to the
// box in one piece instead of one item at a time.
class TChoiceModel : public QAbstractListModel
{
    Q_OBJECT

public:
    explicit TChoiceModel(QList<TChoice> choices, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    // So that the box's clear() and removeItem() work as on its own model.
    bool removeRows(int row, int count, const QModelIndex &parent = QModelIndex()) override;

    const QList<TChoice> &Choices() const { return m_choices; }
    // Replaces every entry at once.
    void Replace(QList<TChoice> choices);
    // The font the entries are drawn in; none: the view's.
    void SetFont(const QFont &font) { m_font = font; }

    // Gives the box these entries and chooses the one of this Id (none when
    // no entry has it). The box keeps whatever text was typed into it apart.
    static void Fill(QComboBox *combo, QList<TChoice> choices, int selectedId);

private:
    QList<TChoice> m_choices;
    std::optional<QFont> m_font;
};
