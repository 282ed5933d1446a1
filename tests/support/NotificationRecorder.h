#pragma once

#include "platform/NotificationCenter.h"

#include <QList>
#include <QObject>
#include <QStringList>

// Records the notifications one sender posts under the given names, in order, so a test can
// wait for them and look at what each carried.
class NotificationRecorder : public QObject {
public:
    NotificationRecorder(QObject *sender, const QStringList &names);

    [[nodiscard]] const QList<Notification> &all() const { return m_seen; }
    [[nodiscard]] QStringList names() const;
    [[nodiscard]] int count(const QString &name) const;
    [[nodiscard]] Notification last(const QString &name) const;
    // Waits, processing events, until name has been seen count times in all.
    bool waitFor(const QString &name, int count = 1, int timeoutMs = 10000) const;
    void clear() { m_seen.clear(); }

private:
    QList<Notification> m_seen;
};
