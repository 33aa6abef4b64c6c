#pragma once

#include <QList>
#include <QString>

class TDAODatabase;

// One entry of a choice box: a row's Id and the name shown for it.
struct TChoice
{
    int id = 0;
    QString name;
};

namespace ChoiceList {

// The rows of a statement of the form "SELECT Id,Name FROM ...", in the
// order the engine hands them out, read in one pass.
QList<TChoice> Read(TDAODatabase &db, const QString &statement);

} // namespace ChoiceList
