#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

// The desktop's secret service (the keyring), one entry per key under one service name. Every
// call is answered later on the caller's thread, never inside the call, and never blocks; the
// requests go to the service one at a time, in order.
//
// The first failure that is not a missing entry (no service on the bus, no session bus, a locked
// keyring whose unlock prompt was cancelled) makes the store unavailable for the rest of the run:
// later calls fail at once without asking the service again, so the user is prompted at most once
// and told once. The library's own words for such a failure rarely say what to do ("Unknown
// error", a D-Bus path), so the bus is asked which case it is before the failure is answered.
class SecretStore : public QObject {
    Q_OBJECT
public:
    static inline const QString ServiceName = QStringLiteral("LumaroImporter");

    explicit SecretStore(const QString &service = ServiceName, QObject *parent = nullptr);
    ~SecretStore() override;
    SecretStore(const SecretStore &) = delete;
    SecretStore &operator=(const SecretStore &) = delete;

    enum class Status { Ok, NotFound, Failed };
    struct Result {
        Status status = Status::Failed;
        QString secret; // read only
        QString error;  // Failed only
    };
    // Not called when receiver is gone by then.
    using Callback = std::function<void(const Result &)>;

    void read(const QString &key, QObject *receiver, Callback done);
    void write(const QString &key, const QString &secret, QObject *receiver, Callback done);
    // A key with no entry is removed all the same (NotFound).
    void remove(const QString &key, QObject *receiver, Callback done);

    [[nodiscard]] const QString &service() const { return m_service; }
    [[nodiscard]] bool isAvailable() const { return m_unavailableReason.isEmpty(); }
    // What is wrong and what the user can do about it, in a sentence or two.
    [[nodiscard]] const QString &unavailableReason() const { return m_unavailableReason; }

signals:
    // Once, when the service turns out to be unusable.
    void becameUnavailable(const QString &reason);

private:
    enum class Kind { Read, Write, Remove };
    struct Request {
        Kind kind;
        QString key;
        QString secret;
        QPointer<QObject> receiver;
        Callback done;
    };
    void enqueue(Request request);
    void startNext();
    void finish(const Request &request, const Result &result);
    void becomeUnavailable(const Request &request, int error, const QString &detail);
    void diagnose(int error, const QString &detail, std::function<void(const QString &)> done);

    QString m_service;
    QList<Request> m_queue;
    bool m_running = false;
    QString m_unavailableReason;
};
