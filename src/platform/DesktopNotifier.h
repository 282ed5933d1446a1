#pragma once

#include <QObject>
#include <QString>

// Shows short messages through the desktop's notification service (org.freedesktop.Notifications
// on the session bus). A notification is a courtesy on top of what the window shows, so without
// a bus or a service the message is dropped without a word.
class DesktopNotifier : public QObject {
    Q_OBJECT
public:
    // desktopEntry names the launcher entry (and icon), so the desktop can group and badge them.
    DesktopNotifier(QString applicationName, QString desktopEntry, QObject *parent = nullptr);

    void notify(const QString &summary, const QString &body);

private:
    QString m_applicationName;
    QString m_desktopEntry;
};
