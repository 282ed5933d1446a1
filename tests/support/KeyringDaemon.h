#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A real secret service for a test: gnome-keyring-daemon on the test's private session bus (the
// test runs inside dbus-run-session), keeping its keyrings in a throw-away home. Its login keyring
// is created on the first start and unlocked with a fixed password on every Unlocked start, so
// stopping and starting it again is a keyring that went away and came back with its entries.
class KeyringDaemon {
public:
    KeyringDaemon() = default;
    ~KeyringDaemon() { stop(); }
    KeyringDaemon(const KeyringDaemon &) = delete;
    KeyringDaemon &operator=(const KeyringDaemon &) = delete;

    // How the default collection is found: unlocked; locked (the login keyring is not unlocked);
    // missing (the keyrings are wiped and none is made, so the service has no default).
    enum class Collection { Unlocked, Locked, Missing };
    // Waits until the service answers on the bus; false with the reason otherwise.
    bool start(QString *error, Collection collection = Collection::Unlocked);
    // Waits until the service has left the bus.
    void stop();

    // The secret stored for this application's key, asked of the service by another client
    // (secret-tool); empty when there is none.
    [[nodiscard]] QString lookup(const QString &key) const;

private:
    QTemporaryDir m_home;
    QProcess m_daemon;
};
