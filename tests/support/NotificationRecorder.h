#pragma once

#include "platform/NotificationCenter.h"

#include <QList>
#include <QObject>
#include <QStringList>
#include <QTest>

// Records the notifications one sender posts under the given names, in order, so a test can
// wait for them and look at what each carried.
class NotificationRecorder : public QObject {
public:
    NotificationRecorder(QObject *sender, const QStringList &names)
    {
        for (const QString &name : names) {
            NotificationCenter::defaultCenter()->addObserver(
                this, name, sender, [this](const Notification &n) { m_seen.append(n); });
        }
    }

    [[nodiscard]] const QList<Notification> &all() const { return m_seen; }
    [[nodiscard]] QStringList names() const
    {
        QStringList out;
        for (const Notification &n : m_seen)
            out << n.name;
        return out;
    }
    [[nodiscard]] int count(const QString &name) const
    {
        return int(std::count_if(m_seen.cbegin(), m_seen.cend(),
                                 [&](const Notification &n) { return n.name == name; }));
    }
    [[nodiscard]] Notification last(const QString &name) const
    {
        for (auto it = m_seen.crbegin(); it != m_seen.crend(); ++it) {
            if (it->name == name)
                return *it;
        }
        return {};
    }
    // Waits, processing events, until name has been seen wanted times in all.
    bool waitFor(const QString &name, int wanted = 1, int timeoutMs = 10000) const
    {
        return QTest::qWaitFor([&] { return count(name) >= wanted; }, timeoutMs);
    }
    void clear() { m_seen.clear(); }

private:
    QList<Notification> m_seen;
};
