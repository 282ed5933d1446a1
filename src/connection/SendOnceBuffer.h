#pragma once

#include <QByteArray>
#include <QIODevice>

// A request body that can be read through once. The HTTP stack rewinds a body to send the
// request again on a new connection when the old one closed without an answer; a POST that the
// server may already have acted on must never go twice, so once a byte has been handed out the
// body refuses to rewind and the request fails instead.
class SendOnceBuffer : public QIODevice {
    Q_OBJECT
public:
    explicit SendOnceBuffer(QByteArray data, QObject *parent = nullptr);
    SendOnceBuffer(const SendOnceBuffer &) = delete;
    SendOnceBuffer &operator=(const SendOnceBuffer &) = delete;

    [[nodiscard]] bool isSequential() const override { return false; }
    [[nodiscard]] qint64 size() const override { return m_data.size(); }
    bool seek(qint64 pos) override;
    [[nodiscard]] qint64 bytesAvailable() const override { return size() - pos() + QIODevice::bytesAvailable(); }
    [[nodiscard]] bool atEnd() const override { return pos() >= size(); }

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QByteArray m_data;
    qint64 m_position = 0;
    bool m_consumed = false;
};
