#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

// Converts dialog units to pixels from a font's metrics: a horizontal unit is
// a quarter of the font's average character width, a vertical unit an eighth
// of its height. Edges are converted, not widths, so that controls that touch
// in dialog units still touch in pixels.
class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);
    DialogUnits(int baseX, int baseY) : m_baseX(baseX), m_baseY(baseY) {}

    int baseX() const { return m_baseX; }
    int baseY() const { return m_baseY; }
    int x(int units) const;
    int y(int units) const;
    QRect toPixels(const QRect& units) const;
    QSize toPixels(const QSize& units) const;
    // Units at least this wide, widened where needed so that `pixels` fit
    // into a control `width` units wide placed at `left`.
    DialogUnits fitting(int left, int width, int pixels) const;

private:
    int m_baseX;
    int m_baseY;
};
