#include "RunDialogText.h"

#include <QRegularExpression>

namespace zelvo::ui {

QString PlainLabelText(const QString& text)
{
    static const QRegularExpression cjkMnemonic(QStringLiteral("\\(&[^&]\\)"));
    static const QRegularExpression trailing(QStringLiteral("[\\s:：]+$"));
    QString plain = text;
    plain.remove(cjkMnemonic);
    plain.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    plain.remove(QLatin1Char('&'));
    plain.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    plain.remove(trailing);
    return plain;
}

} // namespace zelvo::ui
