#include "CTitleView.h"

#include "CStaticLink.h"
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

QColor CTitleView::TitleColour(const QPalette& palette)
{
    // The link's rule: its own colour where that reads, else lightened or darkened until it does.
    return CStaticLink::ReadableOn(qRgb(0, 0, 128), palette.color(QPalette::Base));
}

void CTitleView::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event);
    QPainter painter(this);
    painter.setPen(TitleColour(palette()));
    painter.drawText(contentsRect(), Qt::AlignCenter | Qt::TextSingleLine, Title());
}
