#pragma once

#include <QByteArray>
#include <QString>

// One JSON object on one line, written straight into bytes: the journal
// writes a record or two for every file, and building a QJsonObject for
// each cost more than the file's tag. QJsonDocument::fromJson reads the
// line back with the same values, names that are no UTF-8 (lone surrogates,
// see pathbytes.h) included.
class JsonLine {
public:
    JsonLine& add(const char* key, const QString& value);
    JsonLine& add(const char* key, const char* value);
    JsonLine& add(const char* key, qint64 value);
    JsonLine& add(const char* key, int value) { return add(key, qint64(value)); }
    JsonLine& add(const char* key, bool value);
    // value is JSON already (an array).
    JsonLine& addJson(const char* key, const QByteArray& value);
    // The object and a line break.
    QByteArray finish();
    // A JSON string holding text.
    static QByteArray string(const QString& text);

private:
    void key(const char* key);
    QByteArray m_bytes{"{"};
};
