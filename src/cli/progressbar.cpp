#include "progressbar.h"

#include "streamout.h"

#include <cstdio>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

int terminalWidth() {
    struct winsize size = {};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

} // namespace

ProgressBar::ProgressBar(int total) : m_total(total), m_enabled(::isatty(STDERR_FILENO) == 1) {}

ProgressBar::~ProgressBar() {
    finish();
}

QString ProgressBar::line(int done, int total, const QString& name, int width) {
    constexpr int BarWidth = 20;
    const int filled = total > 0 ? int(qint64(done) * BarWidth / total) : BarWidth;
    const QString count =
        QStringLiteral("%1/%2").arg(done + 1 > total ? total : done + 1).arg(total);
    QString text = QLatin1Char('[') + QString(filled, QLatin1Char('#')) +
                   QString(BarWidth - filled, QLatin1Char('.')) + QStringLiteral("] ") + count +
                   QLatin1Char(' ');
    // The name is cut from the left: its end tells files apart. The last
    // column stays free so that the terminal does not wrap.
    const qsizetype room = width - 1 - text.size();
    QString shown = OneLine(name);
    if (room > 3 && shown.size() > room) {
        shown = shown.right(room - 3);
        if (shown.front().isLowSurrogate()) // never half a character
            shown.remove(0, 1);
        shown.prepend(QStringLiteral("..."));
    } else if (shown.size() > room) {
        shown = shown.left(qMax<qsizetype>(room, 0));
        if (!shown.isEmpty() && shown.back().isHighSurrogate())
            shown.chop(1);
    }
    return text + shown;
}

void ProgressBar::show(int done, const QString& name) {
    if (!m_enabled)
        return;
    const QByteArray text = line(done, m_total, name, terminalWidth()).toLocal8Bit();
    std::fprintf(stderr, "\r\033[K%s", text.constData());
    std::fflush(stderr);
    m_drawn = true;
}

void ProgressBar::finish() {
    if (!m_drawn)
        return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    m_drawn = false;
}
