#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QTcpServer>
#include <QTcpSocket>

#include <memory>

// A loopback HTTP responder for malformed-reply tests: it answers each request with the next
// scripted reply, whatever was asked, and closes the connection.
class ScriptedServer : public QObject {
public:
    struct Reply {
        int status = 200;
        QByteArray body;
    };

    ScriptedServer()
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection())
                serve(socket);
        });
    }
    [[nodiscard]] quint16 port() const { return m_server.serverPort(); }
    void enqueue(const Reply &reply) { m_replies.append(reply); }
    [[nodiscard]] int requestCount() const { return m_requests; }

private:
    void serve(QTcpSocket *socket)
    {
        auto buffer = std::make_shared<QByteArray>();
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, buffer] {
            buffer->append(socket->readAll());
            const qsizetype headerEnd = buffer->indexOf("\r\n\r\n");
            if (headerEnd < 0)
                return;
            // Wait for the whole body so the client is never cut off mid-send.
            qsizetype contentLength = 0;
            for (const QByteArray &line : buffer->left(headerEnd).split('\n')) {
                if (line.toLower().startsWith("content-length:"))
                    contentLength = line.mid(15).trimmed().toLongLong();
            }
            if (buffer->size() < headerEnd + 4 + contentLength)
                return;
            ++m_requests;
            buffer->clear();
            const Reply reply = m_replies.isEmpty() ? Reply{404, QByteArray("{}")} : m_replies.takeFirst();
            QByteArray response = "HTTP/1.1 " + QByteArray::number(reply.status) + " Scripted\r\n";
            response += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n";
            response += "Connection: close\r\n\r\n";
            response += reply.body;
            socket->write(response);
            socket->disconnectFromHost();
        });
    }

    QTcpServer m_server;
    QList<Reply> m_replies;
    int m_requests = 0;
};
