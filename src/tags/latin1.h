#pragma once

#include <QByteArray>
#include <QString>

// Tag text crosses the tag boundary as Latin-1: byte b is unit b, so any
// byte string survives the round trip through wide text.
QString Latin1ToWide(const char* bytes, qsizetype count);
inline QString Latin1ToWide(const QByteArray& bytes) {
    return Latin1ToWide(bytes.constData(), bytes.size());
}
// Units above 0xFF have no Latin-1 form and are never replaced by a
// look-alike; allFit tells whether every unit had a form.
QByteArray WideToLatin1(const QString& text, bool* allFit);
