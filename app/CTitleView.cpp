#include "CTitleView.h"

#include "StringTable.h"

#include <QPainter>

CTitleView::CTitleView(QWidget* parent) : QFrame(parent)
{
    // Sunken edge, the window colour behind, the arrow cursor. Qt repaints the whole widget on
    // every resize, which keeps the title centred.
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
    setCursor(Qt::ArrowCursor);
    setFocusPolicy(Qt::StrongFocus);
}

QString CTitleView::Title()
{
    return QString::fromStdString(zelvo::LoadString(zelvo::IDR_MAINFRAME));
}

void CTitleView::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event);
    QPainter painter(this);
    painter.setPen(QColor(0, 0, 128));
    painter.drawText(contentsRect(), Qt::AlignCenter | Qt::TextSingleLine, Title());
}
