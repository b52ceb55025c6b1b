#pragma once

#include "tags/diagnostics.h"
#include "tags/taginfo.h"

#include <QStringList>

#include <cstdio>
#include <cstdlib>

// The frames of a record, pseudo-frame left out, as "ID=text" with 0 units
// shown as "|"; frames held only as bytes (pictures and the like) as
// "ID#size", and so are frames that cannot be decoded.
inline QStringList DescribeFrames(const TagInfo& tag) {
    QStringList out;
    for (const FrameInfo& f : tag.frames) {
        if (f.IsPseudoFrame())
            continue;
        const QString id = QString::fromLatin1(f.id);
        if (!f.opaque && (f.IsTextFrame() || f.IsId("COMM") || !f.hasRaw)) {
            QString text = f.text;
            text.replace(QChar(0), QLatin1Char('|'));
            out << id + "=" + text;
        } else {
            out << id + "#" + QString::number(f.raw.size());
        }
    }
    return out;
}

// Collects the tag layer's diagnostic lines while it lives.
class DiagnosticCapture {
public:
    DiagnosticCapture() : stream(open_memstream(&buffer, &size)) { SetTagDiagnosticStream(stream); }
    ~DiagnosticCapture() {
        SetTagDiagnosticStream(nullptr);
        std::fclose(stream);
        std::free(buffer);
    }
    QByteArray text() {
        std::fflush(stream);
        return QByteArray(buffer, static_cast<qsizetype>(size));
    }

private:
    char* buffer = nullptr;
    size_t size = 0;
    std::FILE* stream;
};
