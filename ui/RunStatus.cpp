#include "RunStatus.h"

#include "LangText.h"

#include <QRegularExpression>
#include <cmath>

namespace zelvo::ui {

std::optional<int64_t> SecondsLeft(uint64_t doneBytes, uint64_t totalBytes, int64_t elapsedMs)
{
    if (doneBytes >= totalBytes)
        return 0;
    if (doneBytes == 0 || elapsedMs <= 0)
        return std::nullopt;
    // In floating point: elapsed × remaining passes 64 bits for long runs of large sets.
    const double msLeft = double(elapsedMs) * double(totalBytes - doneBytes) / double(doneBytes);
    return static_cast<int64_t>(std::ceil(msLeft / 1000.0));
}

QString SizeText(uint64_t bytes)
{
    static const char* const units[] = {"KB", "MB", "GB", "TB"};
    if (bytes < 1024)
        return QStringLiteral("%1 B").arg(bytes);
    double value = double(bytes) / 1024.0;
    int unit = 0;
    while (value >= 1024.0 && unit < 3) {
        value /= 1024.0;
        ++unit;
    }
    return QStringLiteral("%1 %2").arg(value, 0, 'f', 1).arg(QLatin1String(units[unit]));
}

QString DurationText(int64_t seconds)
{
    const int64_t h = seconds / 3600;
    const int64_t m = seconds / 60 % 60;
    const int64_t s = seconds % 60;
    if (h > 0)
        return QStringLiteral("%1:%2:%3").arg(h).arg(m, 2, 10, QLatin1Char('0')).arg(s, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(m).arg(s, 2, 10, QLatin1Char('0'));
}

QString RunStatusText(uint64_t doneBytes, uint64_t totalBytes, int64_t elapsedMs)
{
    QStringList parts{
        RunDialogText(u"Bytes Done", QStringLiteral("%1 of %2")).arg(SizeText(doneBytes), SizeText(totalBytes))};
    if (doneBytes > 0 && elapsedMs > 0) {
        const auto perSecond = static_cast<uint64_t>(double(doneBytes) * 1000.0 / double(elapsedMs));
        parts << RunDialogText(u"Speed", QStringLiteral("%1/s")).arg(SizeText(perSecond));
    }
    if (const auto left = SecondsLeft(doneBytes, totalBytes, elapsedMs); left && doneBytes < totalBytes)
        parts << RunDialogText(u"Time Left", QStringLiteral("%1 left")).arg(DurationText(*left));
    return parts.join(QStringLiteral(" · "));
}

QString RunDialogText(QStringView key, const QString& builtIn)
{
    const QString text = lang::Text(lang::LangFile(), u"Run Dialogs", key);
    return text.isEmpty() ? builtIn : text;
}

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
