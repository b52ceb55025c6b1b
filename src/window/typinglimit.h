#pragma once

#include <QObject>
#include <QString>

class QLineEdit;

// Limits what the user can type into an edit box to `limit` characters,
// while text that the program puts in stays whole, however long: a stored
// format or a tag value longer than the limit must survive the next save.
// Over the limit, the user can still delete but not add; an edit that would
// pass the limit is taken back whole.
class TypingLimit : public QObject {
    Q_OBJECT
public:
    TypingLimit(QLineEdit* edit, int limit);

private:
    void onEdited(const QString& text);

    QLineEdit* m_edit;
    int m_limit;
    QString m_accepted; // the text before the user's edit
};
