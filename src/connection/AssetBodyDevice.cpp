#include "AssetBodyDevice.h"

#include "store/ContentHash.h"

#include <QJsonDocument>

#include <cstring>

namespace {
// 192 KiB of file per chunk: small enough to encode in well under a millisecond, large
// enough that sequential reads rarely touch the file.
constexpr qint64 GroupsPerChunk = 64 * 1024;
const QByteArray Marker = QByteArrayLiteral("LUMARO-ASSET-DATA-7f3c9a2e5b");
// Pairs of output characters for every 12-bit input value: half the lookups of the usual
// 6-bit table, which keeps encoding well ahead of the socket.
struct PairTable {
    quint16 pairs[4096];
    PairTable()
    {
        static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        for (int i = 0; i < 4096; ++i) {
            const char two[2] = {alphabet[i >> 6], alphabet[i & 63]};
            std::memcpy(&pairs[i], two, 2);
        }
    }
};
} // namespace

qint64 AssetBodyDevice::encodeBase64(const char *input, qint64 length, char *output)
{
    static const PairTable table;
    const auto *in = reinterpret_cast<const unsigned char *>(input);
    char *out = output;
    qint64 i = 0;
    for (; i + 3 <= length; i += 3) {
        const quint32 v = (quint32(in[i]) << 16) | (quint32(in[i + 1]) << 8) | in[i + 2];
        std::memcpy(out, &table.pairs[v >> 12], 2);
        std::memcpy(out + 2, &table.pairs[v & 0xFFF], 2);
        out += 4;
    }
    if (i < length) {
        static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        const quint32 b0 = in[i];
        const quint32 b1 = i + 1 < length ? in[i + 1] : 0;
        out[0] = alphabet[b0 >> 2];
        out[1] = alphabet[((b0 & 3) << 4) | (b1 >> 4)];
        out[2] = i + 1 < length ? alphabet[(b1 & 15) << 2] : '=';
        out[3] = '=';
        out += 4;
    }
    return out - output;
}

AssetBodyDevice::AssetBodyDevice(const QString &filePath, const QJsonObject &members, const QString &dataKey,
                                 QObject *parent)
    : QIODevice(parent), m_filePath(filePath), m_members(members), m_dataKey(dataKey), m_file(filePath),
      m_hash(std::make_unique<ContentHash>())
{
}

AssetBodyDevice::~AssetBodyDevice() = default;

bool AssetBodyDevice::openBody(QString *error)
{
    if (!m_file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("Cannot read %1: %2").arg(m_filePath, m_file.errorString());
        return false;
    }
    if (m_file.isSequential()) {
        if (error)
            *error = QStringLiteral("Cannot read %1: not a regular file").arg(m_filePath);
        return false;
    }
    m_rawSize = m_file.size();
    m_encodedSize = encodedLength(m_rawSize);

    // Let the JSON library write every member, the data member holding a marker, then split
    // the text at the marker. Quotes inside string values are escaped, so the quoted key and
    // marker can only be the data member itself.
    QJsonObject members = m_members;
    members.insert(m_dataKey, QString::fromLatin1(Marker));
    const QByteArray json = QJsonDocument(members).toJson(QJsonDocument::Compact);
    const QByteArray needle = '"' + m_dataKey.toUtf8() + "\":\"" + Marker + '"';
    const qsizetype at = json.indexOf(needle);
    if (at < 0) {
        if (error)
            *error = QStringLiteral("Cannot build the request body for %1").arg(m_filePath);
        return false;
    }
    m_prefix = json.left(at + needle.size() - Marker.size() - 1);
    m_suffix = json.mid(at + needle.size() - 1);
    return open(QIODevice::ReadOnly);
}

std::optional<QString> AssetBodyDevice::contentHash()
{
    if (m_prefix.isEmpty() || m_hashedBytes != m_rawSize) // never opened, or not read through
        return std::nullopt;
    const QString hash = m_hash->result();
    return hash.isEmpty() ? std::nullopt : std::optional(hash);
}

bool AssetBodyDevice::seek(qint64 pos)
{
    if (pos < 0 || pos > size() || (m_consumed && pos != m_position))
        return false;
    QIODevice::seek(pos);
    m_position = pos;
    return true;
}

bool AssetBodyDevice::fillChunk(qint64 group)
{
    const qint64 rawOffset = group * 3;
    const qint64 rawLength = qMin(GroupsPerChunk * 3, m_rawSize - rawOffset);
    if (rawLength <= 0)
        return false;
    if (m_file.pos() != rawOffset && !m_file.seek(rawOffset))
        return false;
    m_raw.resize(rawLength);
    qint64 got = 0;
    while (got < rawLength) {
        const qint64 n = m_file.read(m_raw.data() + got, rawLength - got);
        if (n <= 0)
            break;
        got += n;
    }
    // A file that shrank under us cannot produce the length promised to the server.
    if (got != rawLength) {
        setErrorString(QStringLiteral("%1 changed while it was being sent").arg(m_filePath));
        return false;
    }
    // Hashed here, from the chunk just read: a hashing thread of its own was no faster on two
    // cores (the server and the HTTP stack want the other one) and needed a bounded queue.
    if (rawOffset == m_hashedBytes) {
        m_hash->addData(m_raw.constData(), rawLength);
        m_hashedBytes += rawLength;
    }
    m_chunk.resize(encodedLength(rawLength));
    encodeBase64(m_raw.constData(), rawLength, m_chunk.data());
    m_chunkGroup = group;
    return true;
}

qint64 AssetBodyDevice::readData(char *data, qint64 maxSize)
{
    m_consumed = true;
    qint64 written = 0;
    while (written < maxSize && m_position < size()) {
        const qint64 want = maxSize - written;
        if (m_position < m_prefix.size()) {
            const qint64 n = qMin(want, m_prefix.size() - m_position);
            std::memcpy(data + written, m_prefix.constData() + m_position, size_t(n));
            written += n;
            m_position += n;
            continue;
        }
        const qint64 inData = m_position - m_prefix.size();
        if (inData < m_encodedSize) {
            const qint64 group = inData / 4;
            const bool cached = m_chunkGroup >= 0 && group >= m_chunkGroup &&
                                (group - m_chunkGroup) * 4 < m_chunk.size();
            if (!cached && !fillChunk(group - group % GroupsPerChunk))
                return written > 0 ? written : -1;
            const qint64 offset = inData - m_chunkGroup * 4;
            const qint64 n = qMin(want, m_chunk.size() - offset);
            std::memcpy(data + written, m_chunk.constData() + offset, size_t(n));
            written += n;
            m_position += n;
            continue;
        }
        const qint64 inSuffix = inData - m_encodedSize;
        const qint64 n = qMin(want, m_suffix.size() - inSuffix);
        std::memcpy(data + written, m_suffix.constData() + inSuffix, size_t(n));
        written += n;
        m_position += n;
    }
    return written;
}
