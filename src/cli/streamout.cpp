#include "streamout.h"

#include "tags/pathbytes.h"

#include <cerrno>
#include <unistd.h>

namespace {

int firstOutputError = 0;

// Notes why standard output failed, the first time it does: by the end of
// the run, errno tells nothing.
void noteOutputError(std::FILE* out) {
    if (out == stdout && std::ferror(out) && firstOutputError == 0)
        firstOutputError = errno;
}

} // namespace

void BufferOutput() {
    // A write call per 30 files of `show --json` instead of one per two.
    // (glibc ignores the size unless it is given the buffer.)
    static char buffer[1 << 16];
    if (!::isatty(STDOUT_FILENO))
        std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
}

void PrintOut(const QByteArray& utf8) {
    if (std::fwrite(utf8.constData(), 1, size_t(utf8.size()), stdout) != size_t(utf8.size()))
        noteOutputError(stdout);
}

void PrintOut(const QString& text) {
    PrintOut(printableBytes(text)); // file names as their bytes
}

void FlushOut() {
    if (std::fflush(stdout) != 0)
        noteOutputError(stdout);
}

int OutputError() {
    if (std::fflush(stdout) != 0)
        noteOutputError(stdout);
    return std::ferror(stdout) ? (firstOutputError ? firstOutputError : -1) : 0;
}

QString OneLine(QString text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        // A name's byte 0x80 to 0x9F that is no UTF-8 (kept as U+DC80 to
        // U+DC9F, see pathBytes) is a C1 control to an 8-bit terminal; the
        // same unit after a high surrogate is part of a character.
        const bool c1Byte =
            c >= 0xDC80 && c <= 0xDC9F && (i == 0 || !text[i - 1].isHighSurrogate());
        if (text[i].category() == QChar::Other_Control || c1Byte)
            text[i] = u'?';
    }
    return text;
}

void JsonArrayOut::add(const QByteArray& element) {
    std::fputs(m_started ? ",\n    " : "[\n    ", m_out);
    if (std::fwrite(element.constData(), 1, size_t(element.size()), m_out) !=
        size_t(element.size()))
        noteOutputError(m_out);
    m_started = true;
}

void JsonArrayOut::finish() {
    if (m_finished)
        return;
    m_finished = true;
    std::fputs(m_started ? "\n]\n" : "[\n]\n", m_out);
    if (std::fflush(m_out) != 0)
        noteOutputError(m_out);
}
