#pragma once

#include <QByteArray>
#include <QString>

class QJsonObject;

// Standard output for commands that print one result per file as it is
// known: nothing of a batch is kept to be printed at the end, so memory
// stays flat whatever the number of files.
void PrintOut(const QByteArray& utf8);
// As UTF-8, with file names that are no UTF-8 as their own bytes (see
// printableBytes).
void PrintOut(const QString& text);
// Sends what is buffered on its way (after a file that changed something).
void FlushOut();

// A JSON array printed one element at a time, indented as
// QJsonDocument::Indented would print the whole array.
class JsonArrayOut {
public:
    JsonArrayOut() = default;
    JsonArrayOut(const JsonArrayOut&) = delete;
    JsonArrayOut& operator=(const JsonArrayOut&) = delete;

    void add(const QJsonObject& element);
    // "]": the array is complete (an empty one too). Not done on
    // destruction: a run cut short leaves an array that says so.
    void finish();

    // The text add() prints for an element (without the separator).
    static QByteArray element(const QJsonObject& element);

private:
    bool m_started = false;
    bool m_finished = false;
};
