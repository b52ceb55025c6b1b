#include "window/typinglimit.h"

#include <QLineEdit>

TypingLimit::TypingLimit(QLineEdit* edit, int limit)
    : QObject(edit), m_edit(edit), m_limit(limit), m_accepted(edit->text()) {
    // textEdited comes for the user's edits only, before textChanged.
    connect(edit, &QLineEdit::textEdited, this, &TypingLimit::onEdited);
    // The edit box's own text, not the signal's: after a revert inside
    // textEdited, textChanged still reports the text that was taken back.
    connect(edit, &QLineEdit::textChanged, this, [this] { m_accepted = m_edit->text(); });
}

void TypingLimit::onEdited(const QString& text) {
    if (text.size() <= m_limit || text.size() <= m_accepted.size())
        return;
    const int cursor = m_edit->cursorPosition() - int(text.size() - m_accepted.size());
    m_edit->setText(m_accepted);
    m_edit->setCursorPosition(cursor);
}
