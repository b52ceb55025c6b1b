#include "streamout.h"

#include "tags/pathbytes.h"

#include <unistd.h>

void BufferOutput() {
    // A write call per 30 files of `show --json` instead of one per two.
    // (glibc ignores the size unless it is given the buffer.)
    static char buffer[1 << 16];
    if (!::isatty(STDOUT_FILENO))
        std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
}

void PrintOut(const QByteArray& utf8) {
    std::fwrite(utf8.constData(), 1, size_t(utf8.size()), stdout);
}

void PrintOut(const QString& text) {
    PrintOut(printableBytes(text)); // file names as their bytes
}

void FlushOut() {
    std::fflush(stdout);
}

QString OneLine(QString text) {
    for (QChar& c : text) {
        if (c.category() == QChar::Other_Control)
            c = u'?';
    }
    return text;
}

void JsonArrayOut::add(const QByteArray& element) {
    std::fputs(m_started ? ",\n    " : "[\n    ", m_out);
    std::fwrite(element.constData(), 1, size_t(element.size()), m_out);
    m_started = true;
}

void JsonArrayOut::finish() {
    if (m_finished)
        return;
    m_finished = true;
    std::fputs(m_started ? "\n]\n" : "[\n]\n", m_out);
    std::fflush(m_out);
}
