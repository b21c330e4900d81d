#include "MessageBox.h"

#include "StringTable.h"

#include <QApplication>
#include <QMessageBox>

namespace zelvo::ui {
namespace {

MessageBoxAnswerer& Answerer()
{
    static MessageBoxAnswerer instance;
    return instance;
}

QMessageBox::Icon ToQtIcon(MsgIcon icon)
{
    switch (icon) {
    case MsgIcon::Stop:
        return QMessageBox::Critical;
    case MsgIcon::Question:
        return QMessageBox::Question;
    case MsgIcon::Information:
        return QMessageBox::Information;
    case MsgIcon::Exclamation:
        break;
    }
    return QMessageBox::Warning;
}

} // namespace

MsgAnswer ZelvoMessageBox(const QString& text, MsgButtons buttons, MsgIcon icon, bool defaultNo)
{
    if (Answerer())
        return Answerer()(text, buttons, icon);

    const QString caption = QString::fromStdString(LoadString(AFX_IDS_APP_TITLE));
    const QMessageBox::StandardButtons qtButtons =
        buttons == MsgButtons::YesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok;
    QMessageBox box(ToQtIcon(icon), caption, text, qtButtons, QApplication::activeWindow());
    box.setWindowModality(Qt::ApplicationModal);
    if (buttons == MsgButtons::YesNo)
        box.setDefaultButton(defaultNo ? QMessageBox::No : QMessageBox::Yes);
    const int pressed = box.exec();
    if (buttons == MsgButtons::YesNo)
        return pressed == QMessageBox::Yes ? MsgAnswer::Yes : MsgAnswer::No;
    return MsgAnswer::Ok;
}

MsgAnswer ZelvoMessageBox(int stringId, MsgButtons buttons, MsgIcon icon)
{
    return ZelvoMessageBox(QString::fromStdString(LoadString(stringId)), buttons, icon);
}

void SetMessageBoxAnswerer(MessageBoxAnswerer newAnswerer)
{
    Answerer() = std::move(newAnswerer);
}

} // namespace zelvo::ui
