#include "SendOnceBuffer.h"

#include <cstring>

SendOnceBuffer::SendOnceBuffer(QByteArray data, QObject *parent) : QIODevice(parent), m_data(std::move(data))
{
    open(QIODevice::ReadOnly);
}

bool SendOnceBuffer::seek(qint64 pos)
{
    if (pos < 0 || pos > size() || (m_consumed && pos != m_position))
        return false;
    QIODevice::seek(pos);
    m_position = pos;
    return true;
}

qint64 SendOnceBuffer::readData(char *data, qint64 maxSize)
{
    const qint64 n = qMin(maxSize, size() - m_position);
    if (n <= 0)
        return 0;
    std::memcpy(data, m_data.constData() + m_position, size_t(n));
    m_position += n;
    m_consumed = true;
    return n;
}
