// A desktop notification when a run ends while its dialog is in the background.
#pragma once

#include <QString>
#include <functional>

namespace zelvo::ui {

// Shows summary and body through the desktop's notification service (freedesktop Notifications on
// the session bus). Fire and forget: without a session bus or a service nothing happens.
void SendDesktopNotice(const QString& summary, const QString& body);

// Test seam: while set, SendDesktopNotice hands its texts to the sender and talks to no bus. Pass
// an empty function to use the bus again.
using DesktopNoticeSender = std::function<void(const QString& summary, const QString& body)>;
void SetDesktopNoticeSender(DesktopNoticeSender sender);

} // namespace zelvo::ui
