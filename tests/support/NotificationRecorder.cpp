#include "NotificationRecorder.h"

#include <QTest>

NotificationRecorder::NotificationRecorder(QObject *sender, const QStringList &names)
{
    for (const QString &name : names) {
        NotificationCenter::defaultCenter()->addObserver(this, name, sender,
                                                         [this](const Notification &n) { m_seen.append(n); });
    }
}

QStringList NotificationRecorder::names() const
{
    QStringList out;
    for (const Notification &n : m_seen)
        out << n.name;
    return out;
}

int NotificationRecorder::count(const QString &name) const
{
    return int(std::count_if(m_seen.cbegin(), m_seen.cend(), [&](const Notification &n) { return n.name == name; }));
}

Notification NotificationRecorder::last(const QString &name) const
{
    for (auto it = m_seen.crbegin(); it != m_seen.crend(); ++it) {
        if (it->name == name)
            return *it;
    }
    return {};
}

bool NotificationRecorder::waitFor(const QString &name, int wanted, int timeoutMs) const
{
    return QTest::qWaitFor([&] { return count(name) >= wanted; }, timeoutMs);
}
