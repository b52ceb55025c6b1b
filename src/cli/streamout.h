#pragma once

#include <QByteArray>
#include <QString>

#include <cstdio>

// Standard output for commands that print one result per file as it is
// known: nothing of a batch is kept to be printed at the end, so memory
// stays flat whatever the number of files.

// Into a pipe or a file, output goes in blocks of 64 KB rather than stdio's
// 4 KB; a terminal keeps its line buffering. Before anything is printed.
void BufferOutput();
void PrintOut(const QByteArray& utf8);
// As UTF-8, with file names that are no UTF-8 as their own bytes (see
// printableBytes).
void PrintOut(const QString& text);
// Sends what is buffered on its way (after a file that changed something).
void FlushOut();
// After a last flush, why standard output could not take all that was
// printed to it (an errno value; -1 when the cause is unknown), or 0.
int OutputError();

// A value (a tag's text, a file name, a message naming one) as text output
// shows it: each control character (a line break, an escape) as "?", as ls
// shows names on a terminal, so that a result keeps its lines and no tag
// or name can drive the terminal. --json keeps them.
QString OneLine(QString text);

// A JSON array printed one element at a time, laid out as
// QJsonDocument::Indented lays out a whole array.
class JsonArrayOut {
public:
    explicit JsonArrayOut(std::FILE* out = stdout) : m_out(out) {}
    JsonArrayOut(const JsonArrayOut&) = delete;
    JsonArrayOut& operator=(const JsonArrayOut&) = delete;

    // One element: JSON text written by a JsonWriter at level 1.
    void add(const QByteArray& element);
    // "]": the array is complete (an empty one too). Not done on
    // destruction: a run cut short leaves an array that says so.
    void finish();

private:
    std::FILE* m_out;
    bool m_started = false;
    bool m_finished = false;
};
