#include "KeyringDaemon.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLibrary>
#include <QThread>

namespace {
const QString SecretsName = QStringLiteral("org.freedesktop.secrets");

bool onBus()
{
    QDBusConnectionInterface *bus = QDBusConnection::sessionBus().interface();
    return bus && bus->isServiceRegistered(SecretsName).value();
}
} // namespace

KeyringDaemon::KeyringDaemon() = default;

KeyringDaemon::~KeyringDaemon()
{
    stop();
}

bool KeyringDaemon::start(QString *error)
{
    if (!QDBusConnection::sessionBus().isConnected()) {
        *error = QStringLiteral("no session bus: run the test inside dbus-run-session");
        return false;
    }
    const QString run = m_home.filePath(QStringLiteral("run"));
    QDir().mkpath(run);
    QFile::setPermissions(run, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QDir().mkpath(m_home.filePath(QStringLiteral(".local/share/keyrings")));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), m_home.path());
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), run);
    environment.insert(QStringLiteral("XDG_DATA_HOME"), m_home.filePath(QStringLiteral(".local/share")));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.filePath(QStringLiteral(".config")));
    m_daemon.setProcessEnvironment(environment);
    m_daemon.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_daemon.setStandardOutputFile(QProcess::nullDevice());
    m_daemon.start(QStringLiteral("gnome-keyring-daemon"),
                   {"--foreground", "--unlock", "--components=secrets"});
    if (!m_daemon.waitForStarted(10000)) {
        *error = QStringLiteral("gnome-keyring-daemon did not start: ") + m_daemon.errorString();
        return false;
    }
    // --unlock reads the login keyring's password up to the end of its input.
    m_daemon.write("test");
    m_daemon.waitForBytesWritten(5000);
    m_daemon.closeWriteChannel();
    const QDeadlineTimer deadline(15000);
    while (!onBus()) {
        if (deadline.hasExpired() || m_daemon.state() == QProcess::NotRunning) {
            *error = QStringLiteral("gnome-keyring-daemon did not come onto the session bus");
            stop();
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(20);
    }
    // The secret-service client library keeps its connection to the service for the life of the
    // process; a daemon started again is a new service, which a new run of the application would
    // meet with a fresh connection. Drop the old one so this process does too.
    QLibrary secret(QStringLiteral("secret-1"), 0);
    if (secret.load()) {
        if (auto disconnect = reinterpret_cast<void (*)()>(secret.resolve("secret_service_disconnect")))
            disconnect();
    }
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
    const QDeadlineTimer deadline(5000);
    while (onBus() && !deadline.hasExpired())
        QThread::msleep(20);
}

QString KeyringDaemon::lookup(const QString &key) const
{
    QProcess tool;
    tool.start(QStringLiteral("secret-tool"), {"lookup", "server", "LumaroImporter", "user", key});
    if (!tool.waitForFinished(10000))
        return {};
    return QString::fromUtf8(tool.readAllStandardOutput());
}
