#include "window/dialogunits.h"

#include <QFontMetrics>

namespace {

// a * b / c rounded half away from zero, as the dialog manager rounds.
int mulDiv(int a, int b, int c) {
    const long long p = static_cast<long long>(a) * b;
    return static_cast<int>(p >= 0 ? (p + c / 2) / c : (p - c / 2) / c);
}

} // namespace

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_baseX = (letters / 26 + 1) / 2; // the average of 52 letters, rounded
    m_baseY = metrics.height();
}

int DialogUnits::x(int units) const {
    return mulDiv(units, m_baseX, 4);
}

int DialogUnits::y(int units) const {
    return mulDiv(units, m_baseY, 8);
}

QRect DialogUnits::toPixels(const QRect& units) const {
    const int left = x(units.x());
    const int top = y(units.y());
    return QRect(left, top, x(units.x() + units.width()) - left,
                 y(units.y() + units.height()) - top);
}

QSize DialogUnits::toPixels(const QSize& units) const {
    return QSize(x(units.width()), y(units.height()));
}

DialogUnits DialogUnits::fitting(int left, int width, int pixels) const {
    DialogUnits wider = *this;
    while (width > 0 && wider.x(left + width) - wider.x(left) < pixels)
        ++wider.m_baseX;
    return wider;
}
