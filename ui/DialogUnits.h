// Dialog units of the templates: a quarter of the font's average character width across, an
// eighth of its height down. Sizes follow the font, so a dialog keeps its proportions.
#pragma once

#include <QFontMetrics>
#include <QString>
#include <QtMath>

namespace zelvo::ui {

class DialogUnits
{
public:
    explicit DialogUnits(const QFontMetrics& metrics)
        : m_x(metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 52.0 /
              4.0),
          m_y(metrics.height() / 8.0)
    {}
    int X(int units) const { return qRound(units * m_x); }
    int Y(int units) const { return qRound(units * m_y); }

private:
    double m_x;
    double m_y;
};

} // namespace zelvo::ui
