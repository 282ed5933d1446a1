#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>
#include <variant>

// Exit statuses of lumaro-import.
enum ExitStatus : int {
    ExitSuccess = 0,
    ExitSomeFailed = 1, // some files failed, were not sent or could not be added
    ExitUsage = 2,
    ExitUnusable = 3, // the server or the store could not be used
};

// A reason to stop, with the status the process ends with.
struct Failure {
    int status = ExitUnusable;
    QString message;
};

// The line a usage error ends with, for a person rather than a script.
inline const QString UsageHint = QStringLiteral("\nTry 'lumaro-import --help'.");

struct CliOptions {
    enum class Command { Upload, Categories, Bookmarks, Log, Help, Version };
    Command command = Command::Help;
    QString bookmark;
    QString url;
    QStringList categoryPath; // names from the top level
    std::optional<qint64> categoryId;
    bool create = false;
    bool dryRun = false;
    bool flatten = false;
    bool uploadDuplicates = false;
    bool json = false;
    bool passwordStdin = false;
    std::optional<QDateTime> since;
    // --limit-rate in bytes a second (0: none, whatever the bookmark says).
    std::optional<qint64> limitRate;
    std::optional<int> retries;       // --retries
    std::optional<qint64> retryForMs; // --retry-for
    std::optional<int> parallel;      // --parallel
    QString trustCertificate;         // --trust-certificate: a SHA-256 fingerprint, pinned for this run
    std::optional<int> timeoutMs;     // --timeout: the longest wait without progress
    QStringList inputs; // files and folders to upload
};

[[nodiscard]] std::variant<CliOptions, Failure> parseArguments(const QStringList &arguments);

// Whether --json is among the options, for a usage error that must still be told as an event.
[[nodiscard]] bool jsonRequested(const QStringList &arguments);

// A time as "90", "90s", "30m" or "2h" (seconds without a unit), in milliseconds.
[[nodiscard]] std::optional<qint64> parseDuration(const QString &text);

// A speed as curl's --limit-rate takes it, in bytes a second: "500000", "500K", "2M", "1.5G"
// (K, M and G count in 1024s).
[[nodiscard]] std::optional<qint64> parseRate(const QString &text);

// "/A/B", "A/B" and "/A/B/" all name A then B; "" and "/" the top level. "\/" is a slash within
// a name and "\\" a backslash; any other backslash is itself. An empty name between two slashes
// is refused: no category has one, so it is a typing slip.
[[nodiscard]] std::optional<QStringList> splitCategoryPath(const QString &text, QString *error);

[[nodiscard]] QString helpText();
