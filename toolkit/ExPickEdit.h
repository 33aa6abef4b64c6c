#pragma once

#include "store/engine/DAOQuery.h"
#include "toolkit/PickEdit.h"

#include <functional>

class TDAODatabase;

// Finds a row of a table from a few typed characters: its code, the pinyin
// initials of its name, or the beginning of its name. The search runs on
// Enter, never while typing; one match is chosen at once, several open the
// list for the user to pick from. The owner learns of a choice through
// OnSelectionChange and OnKeyPress and reads SelectedKey.
class TExPickEdit : public TPickEdit
{
    Q_OBJECT

public:
    enum class TTextKind { Initials, Code, Name };

    explicit TExPickEdit(QWidget *parent = nullptr);

    // Set by the owner.
    TDAODatabase *Database = nullptr;
    QString SQL;
    QString FieldKey;
    QString FieldList;
    QString FieldCode; // empty: the table has no codes
    QString FieldSpell;
    QString FieldStatus; // empty: no status column

    // The key of the row chosen last; 0 until a row is chosen.
    int SelectedKey() const { return m_selectedKey; }
    int SignalledKey() const { return m_signalledKey; }
    int Confirmed() const { return m_confirmed; }
    const QString &Filter() const { return m_filter; }
    int NameWidth() const { return m_nameWidth; }
    int CodeWidth() const { return m_codeWidth; }
    int SpellWidth() const { return m_spellWidth; }
    int StatusWidth() const { return m_statusWidth; }

    std::function<void(TExPickEdit &)> OnSelectionChange;
    std::function<void(TExPickEdit &, int key)> OnKeyPress;

    static TTextKind TextKind(const QString &text);
    // A list row: name, code, initials and status, each padded with spaces
    // to its width in GBK bytes.
    static QString FormatRow(const QString &name, const QString &code, const QString &spell, const QString &status,
                             int nameWidth, int codeWidth, int spellWidth, int statusWidth);

    void RefreshList();
    void FillList();
    int FindRow() const;
    void SelectRow(int row);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    // Text committed by an input method is typed text: after a confirmed
    // choice it replaces the box's text, as a typed key does.
    void inputMethodEvent(QInputMethodEvent *event) override;
    void DropDown() override;
    void CloseUp(int accepted) override;
    void TextOrSelectionChanged() override;

private:
    QString NameColumn(const QString &text) const;
    void ChooseFoundRow();
    // A character other than Enter typed into a confirmed box empties it
    // and starts a new search.
    void StartAgainIfConfirmed();

    TDAOQuery m_query;
    QString m_filter;
    QString m_order;
    int m_nameWidth = 0, m_codeWidth = 0, m_spellWidth = 0, m_statusWidth = 0;
    int m_selectedKey = 0;
    int m_signalledKey = 0;
    int m_confirmed = 0;
    bool m_opening = false;
};
