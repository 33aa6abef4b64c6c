#include "toolkit/ChoiceModel.h"

#include <QComboBox>

TChoiceModel::TChoiceModel(QList<TChoice> choices, QObject *parent)
    : QAbstractListModel(parent)
    , m_choices(std::move(choices))
{
}

int TChoiceModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_choices.size());
}

QVariant TChoiceModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_choices.size())
        return {};
    const TChoice &choice = m_choices.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return choice.name;
    case Qt::UserRole:
        return choice.id;
    case Qt::FontRole:
        return m_font ? QVariant(*m_font) : QVariant();
    default:
        return {};
    }
}

bool TChoiceModel::removeRows(int row, int count, const QModelIndex &parent)
{
    if (parent.isValid() || row < 0 || count <= 0 || row + count > m_choices.size())
        return false;
    beginRemoveRows(parent, row, row + count - 1);
    m_choices.remove(row, count);
    endRemoveRows();
    return true;
}

void TChoiceModel::Replace(QList<TChoice> choices)
{
    beginResetModel();
    m_choices = std::move(choices);
    endResetModel();
}

void TChoiceModel::Fill(QComboBox *combo, QList<TChoice> choices, int selectedId)
{
    // The box deletes the model it made for itself.
    combo->setModel(new TChoiceModel(std::move(choices), combo));
    combo->setCurrentIndex(combo->findData(selectedId));
}
