#include "ContentHash.h"

#include <QCryptographicHash>
#include <QFile>

#include <openssl/evp.h>

#include <atomic>

namespace {
std::atomic<ContentHash::Implementation> g_implementation{ContentHash::Implementation::OpenSsl};
}

struct ContentHash::State {
    EVP_MD_CTX *openssl = nullptr;
    std::unique_ptr<QCryptographicHash> qt;
    QString result;
    bool done = false;
};

void ContentHash::setImplementation(Implementation implementation)
{
    g_implementation = implementation;
}

ContentHash::Implementation ContentHash::implementation()
{
    return g_implementation;
}

ContentHash::ContentHash() : m_state(std::make_unique<State>())
{
    if (g_implementation == Implementation::Qt) {
        m_state->qt = std::make_unique<QCryptographicHash>(QCryptographicHash::Sha256);
        return;
    }
    m_state->openssl = EVP_MD_CTX_new();
    if (m_state->openssl)
        EVP_DigestInit_ex(m_state->openssl, EVP_sha256(), nullptr);
}

ContentHash::~ContentHash()
{
    EVP_MD_CTX_free(m_state->openssl);
}

void ContentHash::addData(const char *data, qint64 length)
{
    if (m_state->done || length <= 0)
        return;
    if (m_state->qt)
        m_state->qt->addData(QByteArrayView(data, length));
    else if (m_state->openssl)
        EVP_DigestUpdate(m_state->openssl, data, size_t(length));
}

QString ContentHash::result()
{
    if (m_state->done)
        return m_state->result;
    m_state->done = true;
    if (m_state->qt) {
        m_state->result = QString::fromLatin1(m_state->qt->result().toHex());
    } else if (m_state->openssl) {
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int length = 0;
        if (EVP_DigestFinal_ex(m_state->openssl, digest, &length) == 1)
            m_state->result =
                QString::fromLatin1(QByteArray(reinterpret_cast<char *>(digest), int(length)).toHex());
    }
    return m_state->result;
}

std::optional<QString> ContentHash::ofFile(const QString &path, const std::function<bool(qint64)> &progress)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.isSequential())
        return std::nullopt;
    ContentHash hash;
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    qint64 total = 0;
    for (;;) {
        const qint64 n = file.read(buffer.data(), buffer.size());
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            break;
        hash.addData(buffer.constData(), n);
        total += n;
        if (progress && !progress(total))
            return std::nullopt;
    }
    return hash.result();
}
