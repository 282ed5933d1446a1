#include "SleepInhibitor.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusUnixFileDescriptor>
#include <QLoggingCategory>
#include <QVariantMap>

#include <unistd.h>

Q_LOGGING_CATEGORY(lcSleep, "lumaro.sleep")

namespace {
const QString PortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString PortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString PortalInhibit = QStringLiteral("org.freedesktop.portal.Inhibit");
const QString PortalRequest = QStringLiteral("org.freedesktop.portal.Request");
// The portal's flag for suspending (1 is logging out, 2 switching users, 8 going idle).
constexpr uint SuspendFlag = 4;
const QString LogindService = QStringLiteral("org.freedesktop.login1");
const QString LogindPath = QStringLiteral("/org/freedesktop/login1");
const QString LogindManager = QStringLiteral("org.freedesktop.login1.Manager");
} // namespace

SleepInhibitor::SleepInhibitor(QString reason, QObject *parent) : QObject(parent), m_reason(std::move(reason))
{
}

SleepInhibitor::~SleepInhibitor()
{
    m_holders.clear();
    letGo();
}

void SleepInhibitor::hold(QObject *holder)
{
    if (!holder || m_holders.contains(holder))
        return;
    m_holders.insert(holder, connect(holder, &QObject::destroyed, this, [this, holder] { release(holder); }));
    if (!m_asking && !isHeld())
        askPortal();
}

void SleepInhibitor::release(QObject *holder)
{
    const auto it = m_holders.constFind(holder);
    if (it == m_holders.constEnd())
        return;
    disconnect(it.value());
    m_holders.erase(it);
    // An answer still to come is let go when it arrives.
    if (!wanted() && !m_asking)
        letGo();
}

void SleepInhibitor::askPortal()
{
    // The bus is reached on first use only, so a process that never uploads never connects.
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        askLogind();
        return;
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(PortalService, PortalPath, PortalInhibit, QStringLiteral("Inhibit"));
    call << QString() << SuspendFlag << QVariantMap{{QStringLiteral("reason"), m_reason}};
    m_asking = true;
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher] {
        watcher->deleteLater();
        m_asking = false;
        const QDBusPendingReply<QDBusObjectPath> reply = *watcher;
        if (reply.isError()) {
            qCDebug(lcSleep) << "no portal to keep the machine awake:" << reply.error().message();
            askLogind();
            return;
        }
        m_requestPath = reply.value().path();
        if (!wanted()) {
            letGo();
            return;
        }
        emit heldChanged(true);
    });
}

void SleepInhibitor::askLogind()
{
    if (!wanted())
        return;
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return;
    QDBusMessage call =
        QDBusMessage::createMethodCall(LogindService, LogindPath, LogindManager, QStringLiteral("Inhibit"));
    call << QStringLiteral("sleep") << QCoreApplication::applicationName() << m_reason
         << QStringLiteral("block");
    m_asking = true;
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher] {
        watcher->deleteLater();
        m_asking = false;
        const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *watcher;
        if (reply.isError()) {
            qCDebug(lcSleep) << "no logind to keep the machine awake:" << reply.error().message();
            return;
        }
        // Our own copy: the reply's goes with the reply.
        m_logindLock = ::dup(reply.value().fileDescriptor());
        if (m_logindLock < 0)
            return;
        if (!wanted()) {
            letGo();
            return;
        }
        emit heldChanged(true);
    });
}

void SleepInhibitor::letGo()
{
    const bool held = isHeld();
    if (!m_requestPath.isEmpty()) {
        QDBusConnection::sessionBus().send(QDBusMessage::createMethodCall(
            PortalService, m_requestPath, PortalRequest, QStringLiteral("Close")));
        m_requestPath.clear();
    }
    if (m_logindLock >= 0) {
        ::close(m_logindLock);
        m_logindLock = -1;
    }
    if (held)
        emit heldChanged(false);
}
