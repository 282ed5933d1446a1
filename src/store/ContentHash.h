#pragma once

#include <QString>

#include <functional>
#include <memory>
#include <optional>

// SHA-256 of a file's content, fed as it is read: once while an upload streams it, or on its
// own for the duplicate check. OpenSSL's implementation by default (several times faster here
// than Qt's, see bench/upload); Qt's remains selectable so the benchmark can compare them.
class ContentHash {
public:
    enum class Implementation { OpenSsl, Qt };
    static void setImplementation(Implementation implementation);
    [[nodiscard]] static Implementation implementation();

    ContentHash();
    ~ContentHash();
    ContentHash(const ContentHash &) = delete;
    ContentHash &operator=(const ContentHash &) = delete;

    void addData(const char *data, qint64 length);
    // Lower-case hex; ends the hash.
    [[nodiscard]] QString result();

    // Reads the whole file; progress gets the bytes read so far and returns false to stop.
    // Nothing when the file cannot be read or the caller stopped.
    [[nodiscard]] static std::optional<QString> ofFile(const QString &path,
                                                       const std::function<bool(qint64)> &progress = {});

private:
    struct State;
    std::unique_ptr<State> m_state;
};
