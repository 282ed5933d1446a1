#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

// Keeps to one application process per user and data folder, so two processes never reopen
// the same sessions and write the same store. The first start listens on a local socket; a
// later start asks it to come forward and then leaves.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Role {
        Primary,    // no other instance: this process runs the application
        HandedOver, // a running instance took the request; this process ends with status 0
        Unanswered, // an instance holds the socket but did not answer in time
    };

    explicit SingleInstance(QString socketPath, QObject *parent = nullptr);
    ~SingleInstance() override;
    SingleInstance(const SingleInstance &) = delete;
    SingleInstance &operator=(const SingleInstance &) = delete;

    // The socket of this user and data folder: in the user's runtime folder when there is one,
    // else in the temporary folder under a name that carries the user id.
    [[nodiscard]] static QString socketPathFor(const QString &dataFolder);

    // Hands over to a running instance, or becomes the one that runs and listens.
    [[nodiscard]] Role start();

    [[nodiscard]] QString socketPath() const { return m_socketPath; }

signals:
    // A later start of the application asked this one to come forward.
    void activationRequested();

private:
    [[nodiscard]] Role askRunningInstance() const;
    void acceptConnection();

    QString m_socketPath;
    QLocalServer *m_server;
};
