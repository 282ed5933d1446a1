#include "AssetBody.h"

#include <QCoreApplication>
#include <QJsonDocument>

#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define LUMARO_BASE64_SSSE3 1
#endif

namespace {
// 768 KiB of file per block (1 MiB of Base64): few system calls, and the block stays in the
// cache while it is encoded.
constexpr qint64 BlockGroups = 256 * 1024;
const QByteArray Marker = QByteArrayLiteral("LUMARO-ASSET-DATA-7f3c9a2e5b");
const char Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
// Pairs of output characters for every 12-bit input value: half the lookups of the usual
// 6-bit table.
struct PairTable {
    quint16 pairs[4096];
    PairTable()
    {
        for (int i = 0; i < 4096; ++i) {
            const char two[2] = {Alphabet[i >> 6], Alphabet[i & 63]};
            std::memcpy(&pairs[i], two, 2);
        }
    }
};

#ifdef LUMARO_BASE64_SSSE3
// Twelve bytes in, sixteen characters out per step, while sixteen bytes can be loaded: the
// encoding otherwise costs as much CPU as the rest of the upload together. Each group of three
// bytes is spread over four lanes, the four 6-bit fields are moved into place by two
// multiplications, and every field gets the offset of its range of the alphabet.
__attribute__((target("ssse3"))) qint64 encodeWide(const unsigned char *in, qint64 length, char *out)
{
    qint64 i = 0;
    for (; i + 16 <= length; i += 12, out += 16) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in + i));
        v = _mm_shuffle_epi8(v, _mm_set_epi8(10, 11, 9, 10, 7, 8, 6, 7, 4, 5, 3, 4, 1, 2, 0, 1));
        const __m128i high = _mm_mulhi_epu16(_mm_and_si128(v, _mm_set1_epi32(0x0fc0fc00)), _mm_set1_epi32(0x04000040));
        const __m128i low = _mm_mullo_epi16(_mm_and_si128(v, _mm_set1_epi32(0x003f03f0)), _mm_set1_epi32(0x01000010));
        const __m128i fields = _mm_or_si128(high, low);
        // 0..25 -> range 13, 26..51 -> 0, 52..61 -> 1..10, 62 -> 11, 63 -> 12.
        __m128i range = _mm_subs_epu8(fields, _mm_set1_epi8(51));
        range = _mm_or_si128(range, _mm_and_si128(_mm_cmpgt_epi8(_mm_set1_epi8(26), fields), _mm_set1_epi8(13)));
        const __m128i offsets = _mm_setr_epi8('a' - 26, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52,
                                              '0' - 52, '0' - 52, '0' - 52, '0' - 52, '+' - 62, '/' - 63, 'A', 0, 0);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out),
                         _mm_add_epi8(fields, _mm_shuffle_epi8(offsets, range)));
    }
    return i;
}
#endif
} // namespace

qint64 AssetBody::encodeBase64(const char *input, qint64 length, char *output)
{
    static const PairTable table;
    const auto *in = reinterpret_cast<const unsigned char *>(input);
    char *out = output;
    qint64 i = 0;
#ifdef LUMARO_BASE64_SSSE3
    static const bool wide = __builtin_cpu_supports("ssse3");
    if (wide) {
        i = encodeWide(in, length, out);
        out += i / 3 * 4;
    }
#endif
    for (; i + 3 <= length; i += 3) {
        const quint32 v = (quint32(in[i]) << 16) | (quint32(in[i + 1]) << 8) | in[i + 2];
        std::memcpy(out, &table.pairs[v >> 12], 2);
        std::memcpy(out + 2, &table.pairs[v & 0xFFF], 2);
        out += 4;
    }
    if (i < length) {
        const quint32 b0 = in[i];
        const quint32 b1 = i + 1 < length ? in[i + 1] : 0;
        out[0] = Alphabet[b0 >> 2];
        out[1] = Alphabet[((b0 & 3) << 4) | (b1 >> 4)];
        out[2] = i + 1 < length ? Alphabet[(b1 & 15) << 2] : '=';
        out[3] = '=';
        out += 4;
    }
    return out - output;
}

AssetBody::AssetBody(const QString &filePath, const QJsonObject &members, const QString &dataKey)
    : m_filePath(filePath), m_members(members), m_dataKey(dataKey), m_file(filePath)
{
}

bool AssetBody::open(QString *error)
{
    // Unbuffered: blocks go from the file straight into our buffer.
    if (!m_file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        if (error)
            *error = QCoreApplication::translate("AssetBody", "Cannot read %1: %2")
                         .arg(m_filePath, m_file.errorString());
        return false;
    }
    if (m_file.isSequential()) {
        if (error)
            *error = QCoreApplication::translate("AssetBody", "Cannot read %1: not a regular file")
                         .arg(m_filePath);
        return false;
    }
    m_fileSize = m_rawLeft = m_file.size();
    m_encodedSize = encodedLength(m_rawLeft);

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
            *error = QCoreApplication::translate("AssetBody", "Cannot build the request body for %1")
                         .arg(m_filePath);
        return false;
    }
    m_head = json.left(at + needle.size() - Marker.size() - 1);
    m_tail = json.mid(at + needle.size() - 1);
    return true;
}

bool AssetBody::encodeNext(qint64 rawLength, char *out)
{
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
        m_error = QStringLiteral("%1 changed while it was being sent").arg(m_filePath);
        return false;
    }
    if (m_fileBlockHook)
        m_fileBlockHook(m_raw.constData(), rawLength);
    encodeBase64(m_raw.constData(), rawLength, out);
    m_rawLeft -= rawLength;
    return true;
}

qint64 AssetBody::read(char *out, qint64 maxSize)
{
    if (!m_error.isEmpty())
        return -1;
    qint64 written = 0;
    while (written < maxSize && m_position < size()) {
        const qint64 room = maxSize - written;
        qint64 n = 0;
        if (m_position < m_head.size()) {
            n = qMin(room, m_head.size() - m_position);
            std::memcpy(out + written, m_head.constData() + m_position, size_t(n));
        } else if (m_spillAt < m_spillSize) {
            n = qMin(room, m_spillSize - m_spillAt);
            std::memcpy(out + written, m_spill + m_spillAt, size_t(n));
            m_spillAt += n;
        } else if (m_rawLeft > 0) {
            // Encoded straight into the caller's buffer. Room for less than one group of four
            // is left for the next read, unless nothing else was handed out: such a small
            // buffer gets its share through the spill.
            const qint64 groups = qMin(room / 4, BlockGroups);
            if (groups == 0 && written > 0)
                break;
            const qint64 rawLength = qMin(qMax<qint64>(groups, 1) * 3, m_rawLeft);
            if (!encodeNext(rawLength, groups > 0 ? out + written : m_spill))
                return written > 0 ? written : -1;
            if (groups == 0) {
                m_spillAt = 0;
                m_spillSize = 4;
                continue;
            }
            n = encodedLength(rawLength);
        } else {
            const qint64 inTail = m_position - m_head.size() - m_encodedSize;
            n = qMin(room, m_tail.size() - inTail);
            std::memcpy(out + written, m_tail.constData() + inTail, size_t(n));
        }
        written += n;
        m_position += n;
    }
    return written;
}
