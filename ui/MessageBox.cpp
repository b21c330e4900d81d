#include "MessageBox.h"

#include "StringTable.h"

#include <QApplication>
#include <QMessageBox>

namespace zelvo::ui {
namespace {

MessageBoxAnswerer& answerer()
{
    static MessageBoxAnswerer instance;
    return instance;
}

QMessageBox::Icon toQtIcon(MsgIcon icon)
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
    if (answerer())
        return answerer()(text, buttons, icon);

    const QString caption = QString::fromStdString(LoadString(AFX_IDS_APP_TITLE));
    const QMessageBox::StandardButtons qtButtons =
        buttons == MsgButtons::YesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok;
    QMessageBox box(toQtIcon(icon), caption, text, qtButtons, QApplication::activeWindow());
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
    answerer() = std::move(newAnswerer);
}

} // namespace zelvo::ui
