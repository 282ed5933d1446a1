#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QTcpServer>

// A loopback HTTP responder for malformed-reply tests: it answers each request with the next
// scripted reply, whatever was asked, and closes the connection.
class ScriptedServer : public QObject {
    Q_OBJECT
public:
    struct Reply {
        int status = 200;
        QByteArray body;
    };

    ScriptedServer();
    [[nodiscard]] quint16 port() const { return m_server.serverPort(); }
    void enqueue(const Reply &reply) { m_replies.append(reply); }
    [[nodiscard]] int requestCount() const { return m_requests; }

private:
    void serve(class QTcpSocket *socket);

    QTcpServer m_server;
    QList<Reply> m_replies;
    int m_requests = 0;
};
