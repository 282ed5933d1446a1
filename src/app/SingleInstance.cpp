#include "SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QLoggingCategory>

#include <unistd.h>

Q_LOGGING_CATEGORY(lcInstance, "lumaro.app.instance")

namespace {
const QByteArray ActivateRequest = QByteArrayLiteral("activate\n");
const QByteArray Acknowledged = QByteArrayLiteral("ok\n");
// A socket left by a crash refuses at once; these only bound a live but stuck instance.
constexpr int kConnectTimeoutMs = 2000;
constexpr int kAnswerTimeoutMs = 10000;
constexpr int kLockTimeoutMs = 10000;
} // namespace

SingleInstance::SingleInstance(QString socketPath, QObject *parent)
    : QObject(parent), m_socketPath(std::move(socketPath)), m_server(new QLocalServer(this))
{
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::acceptConnection);
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::socketPathFor(const QString &dataFolder)
{
    // Fixed length, so the path stays within the hundred-odd bytes a socket address allows.
    const QByteArray folder = QDir::cleanPath(QFileInfo(dataFolder).absoluteFilePath()).toUtf8();
    const QString key =
        QString::fromLatin1(QCryptographicHash::hash(folder, QCryptographicHash::Sha256).toHex().left(16));
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const QString base = !runtime.isEmpty() && QFileInfo(runtime).isDir() ? runtime : QDir::tempPath();
    return QStringLiteral("%1/LumaroImporter-%2-%3").arg(base).arg(::getuid()).arg(key);
}

SingleInstance::Role SingleInstance::start()
{
    // Two starts at the same moment take turns here, so exactly one of them ends up listening.
    // A lock left by a crashed process is taken over (its process is gone).
    QLockFile lock(m_socketPath + QStringLiteral(".lock"));
    if (!lock.tryLock(kLockTimeoutMs))
        qCWarning(lcInstance) << "could not take" << lock.error() << "the start-up lock beside"
                              << m_socketPath;

    const Role role = askRunningInstance();
    if (role != Role::Primary)
        return role;
    // Whatever is left at the path belongs to no running instance: a crash leaves its socket.
    QLocalServer::removeServer(m_socketPath);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // Without the socket the application still runs; only a later start cannot find it.
    if (!m_server->listen(m_socketPath))
        qCWarning(lcInstance) << "cannot listen for later starts on" << m_socketPath << ":"
                              << m_server->errorString();
    return Role::Primary;
}

SingleInstance::Role SingleInstance::askRunningInstance() const
{
    // Only a socket of our own is asked: in a shared temporary folder another user could have
    // put one there to keep the application from starting.
    const QFileInfo info(m_socketPath);
    if (!info.exists() || info.ownerId() != ::getuid())
        return Role::Primary;
    QLocalSocket socket;
    socket.connectToServer(m_socketPath);
    if (!socket.waitForConnected(kConnectTimeoutMs))
        return Role::Primary;
    socket.write(ActivateRequest);
    if (!socket.waitForBytesWritten(kAnswerTimeoutMs))
        return Role::Unanswered;
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(kAnswerTimeoutMs))
            return Role::Unanswered;
    }
    return socket.readLine() == Acknowledged ? Role::HandedOver : Role::Unanswered;
}

void SingleInstance::acceptConnection()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine()) {
                // The request is one short line; anything longer is not one of ours.
                if (socket->bytesAvailable() > ActivateRequest.size())
                    socket->abort();
                return;
            }
            if (socket->readLine() != ActivateRequest) {
                socket->abort();
                return;
            }
            socket->write(Acknowledged);
            socket->disconnectFromServer();
            emit activationRequested();
        });
    }
}
