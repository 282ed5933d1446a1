#pragma once

#include <QByteArray>
#include <QFile>
#include <QIODevice>
#include <QJsonObject>

#include <memory>
#include <optional>

class ContentHash;

// The JSON body of one asset request, produced while it is sent: the small members are
// serialised by the JSON library and the Base64 of the file is generated chunk by chunk
// between them, so memory stays flat whatever the file's size. Its length is known up front.
// The content's SHA-256 is taken from the same reads.
// Like SendOnceBuffer it cannot be rewound once read, so the HTTP stack never sends it twice.
class AssetBodyDevice : public QIODevice {
    Q_OBJECT
public:
    // members: every member of the body except the file data, which goes under dataKey.
    AssetBodyDevice(const QString &filePath, const QJsonObject &members, const QString &dataKey,
                    QObject *parent = nullptr);
    ~AssetBodyDevice() override;
    AssetBodyDevice(const AssetBodyDevice &) = delete;
    AssetBodyDevice &operator=(const AssetBodyDevice &) = delete;

    // Opens the file and the device; false with a readable reason when the file cannot be read.
    [[nodiscard]] bool openBody(QString *error);

    [[nodiscard]] bool isSequential() const override { return false; }
    [[nodiscard]] qint64 size() const override { return m_prefix.size() + m_encodedSize + m_suffix.size(); }
    bool seek(qint64 pos) override;
    bool reset() override { return seek(0); }
    [[nodiscard]] qint64 bytesAvailable() const override { return size() - pos() + QIODevice::bytesAvailable(); }
    [[nodiscard]] bool atEnd() const override { return pos() >= size(); }

    [[nodiscard]] qint64 fileSize() const { return m_rawSize; }
    // Known once every byte of the file has been read in order (rewinds do not read twice).
    [[nodiscard]] std::optional<QString> contentHash();

    [[nodiscard]] static qint64 encodedLength(qint64 rawSize) { return (rawSize + 2) / 3 * 4; }
    // Standard alphabet with "=" padding; output must hold encodedLength(length) bytes.
    static qint64 encodeBase64(const char *input, qint64 length, char *output);

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    bool fillChunk(qint64 group);

    QString m_filePath;
    QJsonObject m_members;
    QString m_dataKey;
    QFile m_file;
    qint64 m_rawSize = 0;
    qint64 m_encodedSize = 0;
    QByteArray m_prefix;
    QByteArray m_suffix;
    qint64 m_position = 0;
    bool m_consumed = false;
    // The encoded chunk in hand: groups of 4 output bytes for 3 input bytes, starting at m_chunkGroup.
    QByteArray m_raw;
    QByteArray m_chunk;
    qint64 m_chunkGroup = -1;
    std::unique_ptr<ContentHash> m_hash;
    qint64 m_hashedBytes = 0;
};
