#pragma once

#include "toolkit/TreeList.h"

#include <QWidget>

// The footers under the tree list's columns that have one, placed under
// their columns as the header shows them.
class TTreeList::Footer : public QWidget
{
public:
    explicit Footer(TTreeList *owner);

protected:
    void paintEvent(QPaintEvent *) override;

private:
    TTreeList *m_owner;
};
