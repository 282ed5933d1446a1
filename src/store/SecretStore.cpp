#include "SecretStore.h"

#include <qt6keychain/keychain.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcSecrets, "lumaro.secrets")

SecretStore::SecretStore(const QString &service, QObject *parent) : QObject(parent), m_service(service) {}

SecretStore::~SecretStore() = default;

void SecretStore::read(const QString &key, QObject *receiver, Callback done)
{
    enqueue({Kind::Read, key, {}, receiver, std::move(done)});
}

void SecretStore::write(const QString &key, const QString &secret, QObject *receiver, Callback done)
{
    enqueue({Kind::Write, key, secret, receiver, std::move(done)});
}

void SecretStore::remove(const QString &key, QObject *receiver, Callback done)
{
    enqueue({Kind::Remove, key, {}, receiver, std::move(done)});
}

void SecretStore::enqueue(Request request)
{
    m_queue.append(std::move(request));
    if (!m_running) {
        m_running = true;
        // Never answered inside the asking call.
        QMetaObject::invokeMethod(this, &SecretStore::startNext, Qt::QueuedConnection);
    }
}

void SecretStore::finish(const Request &request, const Result &result)
{
    if (request.receiver && request.done)
        request.done(result);
}

void SecretStore::startNext()
{
    if (m_queue.isEmpty()) {
        m_running = false;
        return;
    }
    const Request request = m_queue.takeFirst();
    if (!isAvailable()) {
        finish(request, {Status::Failed, {}, m_unavailableReason});
        QMetaObject::invokeMethod(this, &SecretStore::startNext, Qt::QueuedConnection);
        return;
    }
    // A job belongs to no one and deletes itself when done: the service answers it later even if
    // this store is gone by then, and the library calls back into the job when it does.
    QKeychain::Job *job = nullptr;
    switch (request.kind) {
    case Kind::Read:
        job = new QKeychain::ReadPasswordJob(m_service);
        break;
    case Kind::Write: {
        auto *write = new QKeychain::WritePasswordJob(m_service);
        write->setTextData(request.secret);
        job = write;
        break;
    }
    case Kind::Remove:
        job = new QKeychain::DeletePasswordJob(m_service);
        break;
    }
    job->setAutoDelete(true);
    // Never the library's plain-text file: without a keyring the caller keeps the secret itself.
    job->setInsecureFallback(false);
    job->setKey(request.key);
    connect(job, &QKeychain::Job::finished, this, [this, request](QKeychain::Job *done) {
        Result result;
        if (done->error() == QKeychain::NoError) {
            result.status = Status::Ok;
            if (auto *read = qobject_cast<QKeychain::ReadPasswordJob *>(done))
                result.secret = read->textData();
        } else if (done->error() == QKeychain::EntryNotFound) {
            result.status = Status::NotFound;
        } else {
            // Answered once the cause is known; the queue waits meanwhile.
            becomeUnavailable(request, done->error(), done->errorString());
            return;
        }
        finish(request, result);
        startNext();
    });
    job->start();
}

void SecretStore::becomeUnavailable(const Request &request, int error, const QString &detail)
{
    diagnose(error, detail, [this, request, detail](const QString &reason) {
        m_unavailableReason = reason;
        qCWarning(lcSecrets) << "the desktop keyring cannot be used:" << reason << detail;
        emit becameUnavailable(reason);
        finish(request, {Status::Failed, {}, reason});
        startNext();
    });
}

namespace {
const QString SecretsName = QStringLiteral("org.freedesktop.secrets");
const QString SecretsPath = QStringLiteral("/org/freedesktop/secrets");

// Calls a method on the bus and hands its first answer (invalid on an error) to done, later.
void ask(QObject *owner, const QDBusMessage &call, std::function<void(const QVariant &)> done)
{
    auto *watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call), owner);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, owner,
                     [done = std::move(done)](QDBusPendingCallWatcher *answered) {
                         answered->deleteLater();
                         const QDBusMessage reply = answered->reply();
                         done(reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()
                                  ? reply.arguments().constFirst()
                                  : QVariant());
                     });
}
} // namespace

// The cases a user can act on, in the order a request meets them: no bus, no service on it, no
// default collection in the service, a locked one.
void SecretStore::diagnose(int error, const QString &detail, std::function<void(const QString &)> done)
{
    const QString again = tr("then start the program again.");
    if (error == QKeychain::AccessDeniedByUser) {
        done(tr("Unlocking the desktop keyring was declined. Unlock it when asked, %1").arg(again));
        return;
    }
    if (!QDBusConnection::sessionBus().isConnected()) {
        done(tr("There is no desktop session bus, so no keyring can be reached. Start the program from a "
                "desktop session."));
        return;
    }
    const QString other =
        tr("The desktop keyring refused: %1.").arg(detail.isEmpty() ? tr("it gave no reason") : detail);
    QDBusMessage hasOwner = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"));
    hasOwner << SecretsName;
    ask(this, hasOwner, [this, done, other, again](const QVariant &running) {
        if (!running.toBool()) {
            done(tr("No keyring service is running. Install or start one (GNOME Keyring, or KWallet with "
                    "its Secret Service), %1")
                     .arg(again));
            return;
        }
        QDBusMessage alias = QDBusMessage::createMethodCall(SecretsName, SecretsPath,
                                                            QStringLiteral("org.freedesktop.Secret.Service"),
                                                            QStringLiteral("ReadAlias"));
        alias << QStringLiteral("default");
        ask(this, alias, [this, done, other, again](const QVariant &answer) {
            const QString path = answer.value<QDBusObjectPath>().path();
            if (path == QLatin1String("/")) {
                done(tr("The desktop keyring has no default collection. Create a keyring and make it the "
                        "default (in Passwords and Keys, for example), %1")
                         .arg(again));
                return;
            }
            if (path.isEmpty()) {
                done(other);
                return;
            }
            QDBusMessage locked = QDBusMessage::createMethodCall(
                SecretsName, path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
            locked << QStringLiteral("org.freedesktop.Secret.Collection") << QStringLiteral("Locked");
            ask(this, locked, [done, other, again](const QVariant &value) {
                if (value.value<QDBusVariant>().variant().toBool())
                    done(tr("The default keyring is locked. Unlock it (in Passwords and Keys, for example), "
                            "%1")
                             .arg(again));
                else
                    done(other);
            });
        });
    });
}
