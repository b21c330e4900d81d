#include "CStaticLink.h"

#include "Beep.h"
#include "CoreColours.h"

#include <QDesktopServices>
#include <QEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMouseEvent>
#include <QPalette>
#include <QPicture>
#include <QUrl>

CStaticLink::CStaticLink(const QString& target, bool deleteWithWindow)
    : m_target(target), m_deleteWithWindow(deleteWithWindow)
{}

CStaticLink::~CStaticLink()
{
    // The label may outlive the link (a dialog destroys its members before its child widgets);
    // it must not keep promising a click that nobody handles any more.
    if (m_label)
        m_label->unsetCursor();
}

QUrl CStaticLink::TargetUrl(const QString& target)
{
    // Like the shell: an existing file opens as a document, an address as it stands, and a bare
    // host name as a web address. An address that is malformed stays invalid, so the click fails
    // with a beep rather than being guessed into some other address.
    const QFileInfo file(target);
    if (!target.isEmpty() && file.exists())
        return QUrl::fromLocalFile(file.absoluteFilePath());
    const QUrl url(target, QUrl::StrictMode);
    if (url.scheme().size() > 1) // one letter is a drive, not a scheme
        return url;
    return QUrl::fromUserInput(target);
}

QColor CStaticLink::ReadableOn(QRgb colour, QColor background)
{
    return zelvo::ui::FromRgb(zelvo::core::ReadableOn(zelvo::ui::ToRgb(QColor(colour)), zelvo::ui::ToRgb(background)));
}

bool CStaticLink::SubclassDlgItem(int id, QWidget* parent)
{
    if (parent == nullptr)
        return false;
    return SubclassLabel(parent->findChild<QLabel*>(QString::number(id)));
}

bool CStaticLink::SubclassLabel(QLabel* label)
{
    if (label == nullptr || m_label != nullptr)
        return false;
    m_label = label;
    label->installEventFilter(this);
    label->setCursor(Qt::PointingHandCursor);
    connect(label, &QObject::destroyed, this, &CStaticLink::OnLabelDestroyed);
    ApplyLinkLook();
    return true;
}

bool CStaticLink::HasTextStyle(const QLabel& label)
{
    return label.pixmap().isNull() && label.picture().isNull() && label.movie() == nullptr &&
           label.frameShape() == QFrame::NoFrame;
}

void CStaticLink::ApplyLinkLook()
{
    if (!HasTextStyle(*m_label))
        return;
    if (!m_underlineFont) {
        QFont font = m_label->font();
        font.setUnderline(true);
        m_underlineFont = font;
        m_label->setFont(font);
    }
    // The label draws on its dialog's face, which a dark desktop palette makes dark.
    QPalette palette = m_label->palette();
    palette.setColor(QPalette::WindowText, ReadableOn(m_textColor, palette.color(QPalette::Window)));
    m_label->setPalette(palette);
}

bool CStaticLink::eventFilter(QObject* watched, QEvent* event)
{
    // Only mouse events are looked at, and only then is the label compared: a label being
    // destroyed still sends events, and by then it is no longer a QLabel.
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick && type != QEvent::MouseButtonRelease)
        return false;
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() != Qt::LeftButton || watched != m_label)
        return false;

    // A plain label passes presses on to its dialog; on a link they belong to the link. A release
    // outside the label is a click abandoned, as it is for a button.
    if (type == QEvent::MouseButtonRelease && m_label->rect().contains(mouse->position().toPoint()))
        OnClick();
    return true;
}

void CStaticLink::OnClick()
{
    // Once taken from the text the target stays, even if the text changes later.
    if (m_target.isEmpty())
        m_target = m_label->text();
    if (m_target.isEmpty())
        return;

    const QUrl url = TargetUrl(m_target);
    if (!url.isValid() || !QDesktopServices::openUrl(url)) {
        zelvo::ui::SoundDefaultBeep();
        return;
    }
    m_textColor = visitedColor;
    ApplyLinkLook();
    m_label->update();
}

void CStaticLink::OnLabelDestroyed()
{
    if (m_deleteWithWindow)
        deleteLater();
}
