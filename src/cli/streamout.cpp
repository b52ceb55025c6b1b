#include "streamout.h"

#include "tags/pathbytes.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

void PrintOut(const QByteArray& utf8) {
    std::fwrite(utf8.constData(), 1, size_t(utf8.size()), stdout);
}

void PrintOut(const QString& text) {
    PrintOut(printableBytes(text)); // file names as their bytes
}

void FlushOut() {
    std::fflush(stdout);
}

QByteArray JsonArrayOut::element(const QJsonObject& element) {
    const QByteArray object = QJsonDocument(element).toJson(QJsonDocument::Indented);
    QByteArray indented;
    indented.reserve(object.size() + object.size() / 8);
    qsizetype start = 0;
    while (start < object.size()) {
        qsizetype end = object.indexOf('\n', start);
        if (end < 0)
            end = object.size();
        indented.append("    ").append(object.constData() + start, end - start);
        start = end + 1;
        if (start < object.size())
            indented.append('\n');
    }
    return indented;
}

void JsonArrayOut::add(const QJsonObject& object) {
    PrintOut(QByteArray(m_started ? ",\n" : "[\n") + element(object));
    m_started = true;
}

void JsonArrayOut::finish() {
    if (m_finished)
        return;
    m_finished = true;
    PrintOut(QByteArray(m_started ? "\n]\n" : "[\n]\n"));
    FlushOut();
}
