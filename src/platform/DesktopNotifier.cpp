#include "DesktopNotifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariantMap>

namespace {
const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString Path = QStringLiteral("/org/freedesktop/Notifications");
constexpr int kServerDefaultTimeout = -1;
} // namespace

DesktopNotifier::DesktopNotifier(QString applicationName, QString desktopEntry, QObject *parent)
    : QObject(parent), m_applicationName(std::move(applicationName)), m_desktopEntry(std::move(desktopEntry))
{
}

void DesktopNotifier::notify(const QString &summary, const QString &body)
{
    // The bus is reached on first use only, so a process that never notifies never connects.
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(Service, Path, Service, QStringLiteral("Notify"));
    const QVariantMap hints{{QStringLiteral("desktop-entry"), m_desktopEntry}};
    call << m_applicationName << uint(0) << m_desktopEntry << summary << body << QStringList() << hints
         << kServerDefaultTimeout;
    // Sent without waiting for the answer: a missing service answers with an error nobody needs.
    bus.send(call);
}
