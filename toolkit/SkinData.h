#pragma once

#include "store/engine/Errors.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

class QWidget;

// A skin that cannot be read.
class ESkinError : public EAppError
{
public:
    using EAppError::EAppError;
};

// One skin set: loaded from a skin description file, or cleared to the
// plain look. The widgets attached to it follow every change.
class TSkinData : public QObject
{
    Q_OBJECT

public:
    explicit TSkinData(QObject *parent = nullptr);

    // Reads the description and everything it names; on failure throws
    // ESkinError with a clear message and keeps the set as it was.
    void LoadFromFile(const QString &path);
    void Clear();

    bool Loaded() const { return !m_fileName.isEmpty(); }
    QString FileName() const { return m_fileName; }
    // The Qt style sheet of the set, with its pictures' paths resolved;
    // empty when cleared.
    QString StyleSheet() const { return m_styleSheet; }

signals:
    void changed();

private:
    QString m_fileName;
    QString m_styleSheet;
};

// The program's three skin sets: the main one (windows, menus, and the
// controls inside dialogs), the dialog one (dialog frames), the tool one
// (the control bar).
namespace Skins {

TSkinData &Main();
TSkinData &Dialog();
TSkinData &Tool();

// The widget's style sheet follows the given sets, later ones applied on top
// of earlier ones, for as long as the widget lives.
void Attach(QWidget *widget, std::initializer_list<TSkinData *> sets);
void Attach(QWidget *widget, const QList<TSkinData *> &sets);

// Whether Attach gave the widget sets of its own.
bool Attached(const QWidget *widget);

// Like Attach, for a window and everything in it but one part, which keeps
// the plain look unless it gets sets of its own: a style sheet reaches
// everything inside the widget it is set on, so the window and the widgets
// around the part get only the rules that name them alone, and every other
// widget beside them (a pane, the menu bar, a dialog or message box opened
// later) gets the whole sets.
void AttachApartFrom(QWidget *window, std::initializer_list<TSkinData *> sets, QWidget *apart);

// The rules of a style sheet that apply to the widget itself, rewritten to
// name it, so that they reach no widget inside it. Empty when the widget
// has no object name.
QString RulesForItself(const QString &sheet, const QWidget &widget);

} // namespace Skins
