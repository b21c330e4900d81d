#include "CPercentProgressCtrl.h"

#include "CoreColours.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <algorithm>
#include <cstdint>

namespace zelvo::ui {

CPercentProgressCtrl::CPercentProgressCtrl(QWidget* parent) : QProgressBar(parent)
{
    // The colours are taken once, as the bar is built. Qt's Base role is the colour of a window's
    // client area (white in most themes); its Window role is the grey dialog face, against which an
    // empty bar would vanish.
    const QPalette colours = palette();
    m_crFill = colours.color(QPalette::Active, QPalette::Highlight);
    m_crEmpty = colours.color(QPalette::Active, QPalette::Base);
    const core::BarTextColours text = core::PercentTextColours(ToRgb(m_crFill), ToRgb(m_crEmpty));
    m_crLabelOnFill = FromRgb(text.onFill);
    m_crLabelOnEmpty = FromRgb(text.onEmpty);
    // A third of the way from the dialog face to its text: the empty bar stands apart from the face
    // on light and dark palettes alike (a palette's Dark role is nearly the face on dark ones).
    const QColor face = colours.color(QPalette::Active, QPalette::Window);
    const QColor ink = colours.color(QPalette::Active, QPalette::WindowText);
    m_crBorder = QColor::fromRgbF(face.redF() + (ink.redF() - face.redF()) / 3,
                                  face.greenF() + (ink.greenF() - face.greenF()) / 3,
                                  face.blueF() + (ink.blueF() - face.blueF()) / 3);
    setContentsMargins(1, 1, 1, 1);
    // Every pixel is covered by the paint pass, so Qt need not clear the background first.
    setAttribute(Qt::WA_OpaquePaintEvent, m_nLower < m_nUpper);
}

CPercentProgressCtrl::~CPercentProgressCtrl() = default;

bool CPercentProgressCtrl::HasWindow() const
{
    return testAttribute(Qt::WA_WState_Created);
}

void CPercentProgressCtrl::SetRange(int lower, int upper)
{
    m_nLower = lower;
    m_nUpper = upper;
    // An empty range paints nothing; then the parent's background has to show through rather than
    // whatever was left in the back buffer.
    setAttribute(Qt::WA_OpaquePaintEvent, m_nLower < m_nUpper);
}

int CPercentProgressCtrl::SetPos(int position)
{
    if (!HasWindow())
        return -1;
    const int previous = m_nPosition;
    m_nPosition = position;
    const int filled = core::ProgressFilledWidth(m_nPosition, m_nLower, m_nUpper, contentsRect().width());
    if (filled != m_nFilledWidth) {
        m_nFilledWidth = filled;
        repaint(); // now, not at the next idle moment: the GUI thread may be busy with more updates
    }
    return previous;
}

void CPercentProgressCtrl::ShowLabel(bool show)
{
    if (HasWindow() && show != m_bShowLabel)
        update();
    m_bShowLabel = show;
}

void CPercentProgressCtrl::SetWindowText(const QString& text)
{
    if (text == m_strLabel)
        return;
    m_strLabel = text;
    update();
}

QString CPercentProgressCtrl::text() const
{
    if (!m_bShowLabel || m_nLower >= m_nUpper)
        return {};
    return LabelText();
}

void CPercentProgressCtrl::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    painter.setPen(m_crBorder);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));

    const QRect area = contentsRect();
    if (m_nLower >= m_nUpper)
        return;
    ++m_nPaintCount;

    // Past the end the bar is simply full; a position below the start leaves it empty.
    const int filledWidth = core::ProgressFilledWidth(m_nPosition, m_nLower, m_nUpper, area.width());
    const int edge = area.left() + std::clamp(filledWidth, 0, area.width());
    const QRect filled(area.left(), area.top(), edge - area.left(), area.height());
    const QRect empty(edge, area.top(), area.right() + 1 - edge, area.height());

    painter.fillRect(filled, m_crFill);
    painter.fillRect(empty, m_crEmpty);
    if (!m_bShowLabel)
        return;
    // The same text twice, each time clipped to one part: the halves meet exactly at the edge.
    const int flags = Qt::AlignCenter | Qt::TextSingleLine;
    painter.setClipRect(filled);
    painter.setPen(m_crLabelOnFill);
    const QString text = LabelText();
    painter.drawText(area, flags, text);
    painter.setClipRect(empty);
    painter.setPen(m_crLabelOnEmpty);
    painter.drawText(area, flags, text);
}

QString CPercentProgressCtrl::LabelText() const
{
    return m_strLabel.isEmpty() ? QString::fromStdString(core::PercentText(m_nPosition, m_nLower, m_nUpper))
                                : m_strLabel;
}

void CPercentProgressCtrl::resizeEvent(QResizeEvent* event)
{
    QProgressBar::resizeEvent(event);
    m_nFilledWidth = -1; // the same position may now cover a different number of pixels
}

void CPercentProgressCtrl::mouseDoubleClickEvent(QMouseEvent* event)
{
    event->accept();
}

} // namespace zelvo::ui
