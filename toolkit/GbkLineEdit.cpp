#include "toolkit/GbkLineEdit.h"

#include "pinyin/GbkText.h"

#include <QTimer>
#include <QToolTip>
#include <QValidator>
#include <algorithm>
#include <functional>

// Every change of a line edit's text passes its validator, which may change
// the text it is given: the one place where typed keys, pastes, drops and
// input-method commits all meet. The limit compares the new text with the
// one it accepted last to find what came in, and keeps of that what fits.
class TGbkWidthLimit : public QValidator
{
public:
    TGbkWidthLimit(int maxBytes, QObject *parent)
        : QValidator(parent)
        , m_maxBytes(maxBytes)
    {
    }

    std::function<void(bool cut)> OnLimit;

    State validate(QString &input, int &pos) const override
    {
        if (GbkText::ByteWidth(input) <= m_maxBytes) {
            m_accepted = input;
            return Acceptable;
        }
        const QString &old = m_accepted;
        // The text after the caret is what stood after the insertion point.
        qsizetype suffix = 0;
        const qsizetype maxSuffix = qMin(input.size() - std::clamp<qsizetype>(pos, 0, input.size()), old.size());
        while (suffix < maxSuffix && input.at(input.size() - 1 - suffix) == old.at(old.size() - 1 - suffix))
            ++suffix;
        qsizetype prefix = 0;
        const qsizetype maxPrefix = qMin(input.size(), old.size()) - suffix;
        while (prefix < maxPrefix && input.at(prefix) == old.at(prefix))
            ++prefix;
        const QString before = input.left(prefix);
        const QString after = input.right(suffix);
        const QString inserted = input.mid(prefix, input.size() - prefix - suffix);
        const int room = m_maxBytes - GbkText::ByteWidth(before) - GbkText::ByteWidth(after);
        if (room < 0) {
            // What stood there already does not fit (text set from outside).
            input = GbkText::Truncate(input, m_maxBytes);
            pos = int(input.size());
        } else {
            const QString kept = GbkText::Truncate(inserted, room);
            input = before + kept + after;
            pos = int(before.size() + kept.size());
        }
        m_accepted = input;
        if (OnLimit)
            OnLimit(inserted.size() > 1 && !(inserted.size() == 2 && inserted.at(0).isHighSurrogate()));
        return Acceptable;
    }

private:
    int m_maxBytes;
    mutable QString m_accepted;
};

TGbkLineEdit::TGbkLineEdit(int maxBytes, QWidget *parent)
    : QLineEdit(parent)
    , m_maxBytes(maxBytes)
    , m_limit(new TGbkWidthLimit(maxBytes, this))
{
    m_limit->OnLimit = [this](bool cut) { ShowLimit(cut); };
    setValidator(m_limit);
}

void TGbkLineEdit::SetMinimumCharacters(int characters)
{
    const QMargins margins = textMargins() + contentsMargins();
    // The frame and the inner margin the style adds to the text.
    constexpr int Frame = 2 * 2 + 2 * 2;
    setMinimumWidth(fontMetrics().horizontalAdvance(QString(characters, QChar(0x6C49))) + margins.left() +
                    margins.right() + Frame);
}

QString TGbkLineEdit::LimitText(int maxBytes)
{
    return QStringLiteral("最多可输入%1个汉字或%2个字母").arg(maxBytes / 2).arg(maxBytes);
}

void TGbkLineEdit::ShowLimit(bool cut)
{
    m_lastTip =
        cut ? QStringLiteral("文字太长，超出的部分已截去（%1）").arg(LimitText(m_maxBytes)) : LimitText(m_maxBytes);
    emit limitReached(m_lastTip, cut);
    // Shown once the edit has finished its change, under the box.
    QTimer::singleShot(0, this, [this, tip = m_lastTip] {
        if (isVisible())
            QToolTip::showText(mapToGlobal(QPoint(0, height())), tip, this, QRect(), 4000);
    });
}
