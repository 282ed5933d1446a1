#include "SecretStore.h"

#include <qt6keychain/keychain.h>

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
            result.error = done->errorString().isEmpty() ? QStringLiteral("unknown failure") : done->errorString();
            if (isAvailable()) {
                m_unavailableReason = result.error;
                qCWarning(lcSecrets) << "the desktop keyring cannot be used:" << result.error;
                emit becameUnavailable(result.error);
            }
        }
        finish(request, result);
        startNext();
    });
    job->start();
}
