#pragma once

#include "transform/fields.h"

#include <QByteArray>
#include <QLatin1StringView>
#include <QStringList>
#include <QStringView>

#include <vector>

// JSON text written straight into bytes, laid out as QJsonDocument::Indented
// lays it out (four spaces a level). Building a QJsonObject for each file
// and converting it to text cost more than reading the file (60% of the
// instructions of `show --json`). Members come out in the order they are
// written; the commands write them in the order QJsonObject kept them
// (sorted by key), so the text is the same as before.
//
// Strings are escaped as JSON requires: quotation mark, backslash and the
// control characters below U+0020 (\b \f \n \r \t, else \u00XX); everything
// else is UTF-8 but a lone surrogate, which has no UTF-8 form: it is written
// as its escape (\udce9), as QJsonDocument wrote it. A file name's byte that
// is no UTF-8 is such a surrogate (see pathBytes), and a reader that maps
// U+DC80..U+DCFF back to bytes gets the name again.
class JsonWriter {
public:
    // level: the indentation of the lines inside the first value (an element
    // of a printed array starts at level 1).
    explicit JsonWriter(int level = 0);

    void beginObject();
    void endObject();
    void beginArray();
    void endArray();
    // The name of the next member of the object being written: ASCII that
    // needs no escaping, or any text.
    JsonWriter& key(const char* name);
    JsonWriter& key(QStringView name);
    void string(QStringView text);
    void string(QLatin1StringView text);
    void boolean(bool value);
    void number(qint64 value);
    void stringArray(const QStringList& texts);
    // The text written; the writer starts afresh.
    QByteArray take();

    // Appends text as a JSON string, quotation marks included.
    static void appendString(QByteArray& out, QStringView text);
    static void appendString(QByteArray& out, QLatin1StringView text);

private:
    // n bytes at the end of the text, for the caller to fill (QByteArray's
    // append goes a long way round for a few bytes).
    char* room(qsizetype n);
    void put(const char* bytes, qsizetype n);
    void beforeValue();
    void open(char bracket);
    void close(char bracket);
    void newLine(int level, bool comma);

    QByteArray m_out; // m_size bytes written, the rest room
    qsizetype m_size = 0;
    int m_level;
    std::vector<bool> m_hasMembers; // one per open object or array
    bool m_afterKey = false;
};

// The eight field values as an object keyed by fieldKey(), in the order
// QJsonObject kept them (sorted by key).
void WriteFieldValues(JsonWriter& json, const FieldValues& values);
