#include "DesktopNotice.h"

#ifdef ZELVO_WITH_DBUS
#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariantMap>
#endif

namespace zelvo::ui {
namespace {

DesktopNoticeSender& Sender()
{
    static DesktopNoticeSender instance;
    return instance;
}

} // namespace

void SendDesktopNotice(const QString& summary, const QString& body)
{
    if (Sender()) {
        Sender()(summary, body);
        return;
    }
#ifdef ZELVO_WITH_DBUS
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    // The desktop entry's name lets the desktop show the program's icon and group its notices.
    const QString entry = QStringLiteral("example.quorvex.Zelvo");
    const QVariantMap hints{{QStringLiteral("desktop-entry"), entry}};
    call << QStringLiteral("Zelvo for File") << uint(0) << entry << summary << body << QStringList() << hints << -1;
    // Sent without waiting for the reply: a missing service answers with an error nobody reads.
    bus.send(call);
#else
    (void)summary;
    (void)body;
#endif
}

void SetDesktopNoticeSender(DesktopNoticeSender newSender)
{
    Sender() = std::move(newSender);
}

} // namespace zelvo::ui
