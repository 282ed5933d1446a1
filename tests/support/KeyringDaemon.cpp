#include "KeyringDaemon.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDeadlineTimer>
#include <QDir>
#include <QLibrary>

namespace {
bool onBus()
{
    QDBusConnectionInterface *bus = QDBusConnection::sessionBus().interface();
    return bus && bus->isServiceRegistered(QStringLiteral("org.freedesktop.secrets")).value();
}

bool waitUntil(bool present, const QProcess &daemon)
{
    const QDeadlineTimer deadline(15000);
    while (onBus() != present) {
        if (deadline.hasExpired() || (present && daemon.state() == QProcess::NotRunning))
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}
} // namespace

bool KeyringDaemon::start(QString *error, Collection collection)
{
    if (!QDBusConnection::sessionBus().isConnected()) {
        *error = QStringLiteral("no session bus: run the test inside dbus-run-session");
        return false;
    }
    if (collection == Collection::Missing)
        QDir(m_home.filePath(QStringLiteral(".local/share/keyrings"))).removeRecursively();
    QDir().mkpath(m_home.filePath(QStringLiteral(".local/share/keyrings")));
    QDir().mkpath(m_home.filePath(QStringLiteral("run")));
    QFile::setPermissions(m_home.filePath(QStringLiteral("run")), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), m_home.path());
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_home.filePath(QStringLiteral("run")));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), m_home.filePath(QStringLiteral(".local/share")));
    m_daemon.setProcessEnvironment(environment);
    m_daemon.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_daemon.setStandardOutputFile(QProcess::nullDevice());
    QStringList arguments{"--foreground", "--components=secrets"};
    if (collection == Collection::Unlocked)
        arguments << "--unlock";
    m_daemon.start(QStringLiteral("gnome-keyring-daemon"), arguments);
    // --unlock reads the login keyring's password up to the end of its input.
    if (collection == Collection::Unlocked)
        m_daemon.write("test");
    m_daemon.waitForBytesWritten(5000);
    m_daemon.closeWriteChannel();
    if (!waitUntil(true, m_daemon)) {
        *error = QStringLiteral("gnome-keyring-daemon did not come onto the session bus");
        stop();
        return false;
    }
    // The secret-service client library keeps its connection to the service for the life of the
    // process; a daemon started again is a new service, which a new run of the application would
    // meet with a fresh connection. Drop the old one so this process does too.
    QLibrary secret(QStringLiteral("secret-1"), 0);
    if (auto disconnect = reinterpret_cast<void (*)()>(secret.resolve("secret_service_disconnect")))
        disconnect();
    return true;
}

void KeyringDaemon::stop()
{
    if (m_daemon.state() == QProcess::NotRunning)
        return;
    m_daemon.terminate();
    if (!m_daemon.waitForFinished(5000)) {
        m_daemon.kill();
        m_daemon.waitForFinished(2000);
    }
    waitUntil(false, m_daemon);
}

QString KeyringDaemon::lookup(const QString &key) const
{
    QProcess tool;
    tool.start(QStringLiteral("secret-tool"), {"lookup", "server", "LumaroImporter", "user", key});
    return tool.waitForFinished(10000) ? QString::fromUtf8(tool.readAllStandardOutput()) : QString();
}
