#pragma once

#include <QHash>
#include <QObject>
#include <QString>

// Keeps the machine from suspending while anyone holds it (a batch being sent): through the XDG
// desktop portal's Inhibit, or logind's where there is no portal. Each is asked without waiting
// for the answer. Without either service nothing is held and nothing is said: the work goes on as
// it would anyway.
class SleepInhibitor : public QObject {
    Q_OBJECT
public:
    // reason is shown by the desktop beside the lock ("Uploading files to Lumaro").
    explicit SleepInhibitor(QString reason, QObject *parent = nullptr);
    // Released on destruction.
    ~SleepInhibitor() override;
    SleepInhibitor(const SleepInhibitor &) = delete;
    SleepInhibitor &operator=(const SleepInhibitor &) = delete;

    // The lock is asked for when the first holder comes and released when the last one goes (a
    // holder that is destroyed goes too).
    void hold(QObject *holder);
    void release(QObject *holder);

    // A service granted the lock and it is held now.
    [[nodiscard]] bool isHeld() const { return !m_requestPath.isEmpty() || m_logindLock >= 0; }

signals:
    void heldChanged(bool held);

private:
    void askPortal();
    void askLogind();
    void letGo();
    [[nodiscard]] bool wanted() const { return !m_holders.isEmpty(); }

    QString m_reason;
    // Each holder, with the connection that releases it when it is destroyed.
    QHash<QObject *, QMetaObject::Connection> m_holders;
    bool m_asking = false;
    // The portal's request object while it holds the lock.
    QString m_requestPath;
    // logind's lock: held while this descriptor stays open.
    int m_logindLock = -1;
};
