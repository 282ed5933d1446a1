#include "CliOptions.h"

#include <QCommandLineParser>
#include <QRegularExpression>
#include <QSet>

#include "store/ServerBookmark.h"

#include <cmath>

namespace {

using Command = CliOptions::Command;

const QList<QPair<QString, Command>> Commands = {
    {QStringLiteral("upload"), Command::Upload},
    {QStringLiteral("categories"), Command::Categories},
    {QStringLiteral("bookmarks"), Command::Bookmarks},
    {QStringLiteral("log"), Command::Log},
};

// Options each command accepts besides --help and --version.
QSet<QString> allowedOptions(Command command)
{
    switch (command) {
    case Command::Upload:
        return {"bookmark",   "url",     "category", "category-id",    "create",
                "dry-run",    "flatten", "json",     "password-stdin", "upload-duplicates",
                "limit-rate", "retries", "retry-for", "parallel", "trust-certificate", "timeout"};
    case Command::Categories:
        return {"bookmark", "url", "password-stdin", "trust-certificate", "timeout"};
    case Command::Log:
        return {"bookmark", "since"};
    default:
        return {};
    }
}

Failure usage(const QString &message)
{
    return {ExitUsage, message + UsageHint};
}

// A day, or a moment in local time unless it names its offset. The day alone is tried only on
// ten characters: QDate's ISO parser takes the date part of "2026-12-07T05:00" and drops the rest.
std::optional<QDateTime> parseSince(const QString &text)
{
    const QDate day = text.size() == 10 ? QDate::fromString(text, Qt::ISODate) : QDate();
    if (day.isValid())
        return day.startOfDay();
    const QDateTime moment = QDateTime::fromString(text, Qt::ISODate);
    if (moment.isValid())
        return moment;
    return std::nullopt;
}

} // namespace

bool jsonRequested(const QStringList &arguments)
{
    for (const QString &argument : arguments.mid(1)) {
        if (argument == QLatin1String("--"))
            return false;
        if (argument == QLatin1String("--json") || argument == QLatin1String("-json"))
            return true;
    }
    return false;
}

std::optional<qint64> parseRate(const QString &text)
{
    QString number = text.trimmed();
    double unit = 1;
    if (!number.isEmpty()) {
        const QChar suffix = number.back().toUpper();
        const qsizetype power = QStringLiteral("KMG").indexOf(suffix) + 1;
        if (power > 0) {
            unit = std::pow(1024.0, double(power));
            number.chop(1);
        }
    }
    bool ok = false;
    const double value = number.toDouble(&ok);
    if (!ok || !std::isfinite(value) || value < 0 || value * unit > 1e15 ||
        number.startsWith(QLatin1Char('+')))
        return std::nullopt;
    return qint64(std::llround(value * unit));
}

std::optional<QStringList> splitCategoryPath(const QString &text, QString *error)
{
    QStringList names{QString()};
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const QChar after = i + 1 < text.size() ? text.at(i + 1) : QChar();
        if (c == QLatin1Char('\\') && (after == QLatin1Char('/') || after == QLatin1Char('\\'))) {
            names.last() += after;
            ++i;
        } else if (c == QLatin1Char('/')) {
            names.append(QString());
        } else {
            names.last() += c;
        }
    }
    if (names.size() > 1 && names.first().isEmpty())
        names.removeFirst();
    if (names.size() > 1 && names.last().isEmpty())
        names.removeLast();
    if (names == QStringList{QString()})
        return QStringList{};
    if (names.contains(QString())) {
        *error = QStringLiteral("the category path \"%1\" has an empty name between two slashes").arg(text);
        return std::nullopt;
    }
    return names;
}

std::optional<qint64> parseDuration(const QString &text)
{
    static const QList<QPair<QChar, qint64>> units{
        {QLatin1Char('s'), 1000}, {QLatin1Char('m'), 60000}, {QLatin1Char('h'), 3600000}};
    QString number = text.trimmed();
    qint64 unit = 1000;
    for (const auto &[suffix, ms] : units) {
        if (number.endsWith(suffix)) {
            unit = ms;
            number.chop(1);
            break;
        }
    }
    bool ok = false;
    const double value = number.toDouble(&ok);
    if (!ok || !(value >= 0) || value * double(unit) > 1e12 || number.startsWith(QLatin1Char('+')))
        return std::nullopt;
    return qint64(value * double(unit));
}

std::variant<CliOptions, Failure> parseArguments(const QStringList &arguments)
{
    // Said plainly, since the parser would only call it an unknown option.
    for (const QString &argument : arguments.mid(1)) {
        if (argument == QLatin1String("--password") || argument.startsWith(QLatin1String("--password="))) {
            return usage(QStringLiteral("a password is never taken as an argument (other users can read it in "
                                        "the process list); use --password-stdin or LUMARO_PASSWORD"));
        }
    }
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOptions({
        {{"b", "bookmark"}, {}, "NAME"},
        {{"u", "url"}, {}, "URL"},
        {{"c", "category"}, {}, "PATH"},
        {"category-id", {}, "N"},
        {"create", {}},
        {{"n", "dry-run"}, {}},
        {"flatten", {}},
        {"upload-duplicates", {}},
        {"json", {}},
        {"password-stdin", {}},
        {"since", {}, "DATE"},
        {"limit-rate", {}, "SPEED"},
        {"retries", {}, "N"},
        {"retry-for", {}, "DURATION"},
        {"parallel", {}, "N"},
        {"trust-certificate", {}, "SHA256"},
        {"timeout", {}, "SECONDS"},
        {{"h", "help"}, {}},
        {{"V", "version"}, {}},
    });
    if (!parser.parse(arguments))
        return usage(parser.errorText());

    CliOptions options;
    if (parser.isSet("help"))
        return options;
    if (parser.isSet("version")) {
        options.command = Command::Version;
        return options;
    }
    QStringList positional = parser.positionalArguments();
    if (positional.isEmpty())
        return usage(QStringLiteral("no command given"));
    const QString name = positional.takeFirst();
    const auto found = std::find_if(Commands.cbegin(), Commands.cend(), [&](const auto &c) { return c.first == name; });
    if (found == Commands.cend())
        return usage(QStringLiteral("unknown command \"%1\"").arg(name));
    options.command = found->second;

    const QSet<QString> allowed = allowedOptions(options.command);
    for (const QString &option : parser.optionNames()) {
        const QString longName = option == "b"   ? "bookmark"
                                 : option == "u" ? "url"
                                 : option == "c" ? "category"
                                 : option == "n" ? "dry-run"
                                                 : option;
        if (!allowed.contains(longName))
            return usage(QStringLiteral("%1 does not take --%2").arg(name, longName));
    }

    options.bookmark = parser.value("bookmark");
    options.url = parser.value("url");
    options.create = parser.isSet("create");
    options.dryRun = parser.isSet("dry-run");
    options.flatten = parser.isSet("flatten");
    options.uploadDuplicates = parser.isSet("upload-duplicates");
    options.json = parser.isSet("json");
    options.passwordStdin = parser.isSet("password-stdin");
    if (parser.isSet("bookmark") && parser.isSet("url"))
        return usage(QStringLiteral("give either --bookmark or --url, not both"));
    const bool needsServer = options.command == Command::Upload || options.command == Command::Categories;
    if (needsServer && options.bookmark.isEmpty() && options.url.isEmpty())
        return usage(QStringLiteral("%1 needs --bookmark NAME or --url URL").arg(name));

    if (parser.isSet("since")) {
        options.since = parseSince(parser.value("since"));
        if (!options.since)
            return usage(QStringLiteral("--since takes a date such as 2026-03-07 or 2026-03-07T18:00, not \"%1\"")
                             .arg(parser.value("since")));
    }

    if (parser.isSet("limit-rate")) {
        options.limitRate = parseRate(parser.value("limit-rate"));
        if (!options.limitRate)
            return usage(
                QStringLiteral("--limit-rate takes bytes a second, such as 500K, 2M or 1048576, not \"%1\"")
                    .arg(parser.value("limit-rate")));
    }

    if (parser.isSet("retries")) {
        bool ok = false;
        options.retries = parser.value("retries").toInt(&ok);
        if (!ok || *options.retries < 0)
            return usage(
                QStringLiteral("--retries takes a number from 0, not \"%1\"").arg(parser.value("retries")));
    }
    if (parser.isSet("parallel")) {
        bool ok = false;
        options.parallel = parser.value("parallel").toInt(&ok);
        if (!ok || *options.parallel < 1 || *options.parallel > ServerBookmark::MaxSimultaneousUploads)
            return usage(QStringLiteral("--parallel takes a number from 1 to %1, not \"%2\"")
                             .arg(ServerBookmark::MaxSimultaneousUploads)
                             .arg(parser.value("parallel")));
    }
    if (parser.isSet("retry-for")) {
        options.retryForMs = parseDuration(parser.value("retry-for"));
        if (!options.retryForMs)
            return usage(QStringLiteral("--retry-for takes a time such as 90s, 30m or 2h, not \"%1\"")
                             .arg(parser.value("retry-for")));
    }

    if (parser.isSet("trust-certificate")) {
        // As the window shows it (pairs joined by ":"), or the bare 64 hex digits.
        static const QRegularExpression sha256(QStringLiteral("^([0-9A-Fa-f]{2}:){31}[0-9A-Fa-f]{2}$|^[0-9A-Fa-f]{64}$"));
        options.trustCertificate = parser.value("trust-certificate").trimmed();
        if (!sha256.match(options.trustCertificate).hasMatch())
            return usage(QStringLiteral("--trust-certificate takes the certificate's SHA-256 fingerprint, 32 hex "
                                        "pairs such as 3A:F0:...:9C, not \"%1\"")
                             .arg(parser.value("trust-certificate")));
    }
    if (parser.isSet("timeout")) {
        // Every wait has a limit: 0 would be none.
        const std::optional<qint64> ms = parseDuration(parser.value("timeout"));
        if (!ms || *ms < 1000 || *ms > qint64(24) * 3600 * 1000)
            return usage(QStringLiteral("--timeout takes seconds from 1 to 86400, not \"%1\"")
                             .arg(parser.value("timeout")));
        options.timeoutMs = int(*ms);
    }

    QString error;
    switch (options.command) {
    case Command::Upload: {
        if (parser.isSet("category") == parser.isSet("category-id"))
            return usage(QStringLiteral("upload needs exactly one of --category PATH and --category-id N"));
        if (parser.isSet("category-id")) {
            bool ok = false;
            options.categoryId = parser.value("category-id").toLongLong(&ok);
            if (!ok)
                return usage(QStringLiteral("--category-id takes a number, not \"%1\"").arg(parser.value("category-id")));
            if (options.create)
                return usage(QStringLiteral("--create needs --category PATH"));
        } else {
            const auto names = splitCategoryPath(parser.value("category"), &error);
            if (!names)
                return usage(error);
            if (names->isEmpty())
                return usage(QStringLiteral("files go into a category, not the top level: give a path such as /Photos"));
            options.categoryPath = *names;
        }
        if (positional.isEmpty())
            return usage(QStringLiteral("upload needs at least one file or folder"));
        options.inputs = positional;
        break;
    }
    case Command::Categories: {
        if (positional.size() > 1)
            return usage(QStringLiteral("categories takes at most one path"));
        const auto names = splitCategoryPath(positional.value(0), &error);
        if (!names)
            return usage(error);
        options.categoryPath = *names;
        break;
    }
    default:
        if (!positional.isEmpty())
            return usage(QStringLiteral("%1 takes no arguments").arg(name));
    }
    return options;
}

QString helpText()
{
    return QStringLiteral(R"(Usage: lumaro-import upload (--bookmark NAME | --url URL) (--category PATH | --category-id N) [--create] [--flatten] [--upload-duplicates] [--dry-run] [--json] [--password-stdin] [--limit-rate SPEED] [--retries N] [--retry-for DURATION] [--trust-certificate SHA256] [--timeout SECONDS] [--parallel N] FILE_OR_FOLDER...
  or:  lumaro-import categories (--bookmark NAME | --url URL) [--password-stdin] [--trust-certificate SHA256] [--timeout SECONDS] [PATH]
  or:  lumaro-import bookmarks
  or:  lumaro-import log [--bookmark NAME] [--since DATE]

Upload files into the category tree of a Lumaro asset server from the command
line, with the bookmarks, the requests and the import log of LumaroImporter.

Commands:
  upload        Send the files as one batch under one import status id, one
                after the other, each whole. A folder keeps its structure, as
                cp -r does: it becomes a sub-category of the target, and each
                of its sub-folders a sub-category below that, created before
                the first file is sent (~/card/DCIM/100CANON/IMG_0001.JPG goes
                into TARGET/DCIM/100CANON). A file named by itself goes into
                the target. Hidden files, hidden folders and symbolic links
                inside a folder are skipped; files go in path order, and a
                file named twice is sent once. Files the import log says went
                to the same server before (same size and content) are skipped
                and listed. An item that cannot be sent (unreadable, a name
                that is not valid UTF-8, a named pipe, socket or device) is
                listed on standard error with its reason and never opened;
                the rest is still sent. A file the server cannot have received
                (no connection, a connection cut before the end of the file,
                the server asking to come back later) is sent again after 2,
                4, 8 ... seconds, up to 5 minutes apart; three such failures
                in a row, or of a gateway answering 502 or 504, pause the batch
                until the server answers its check again. A file sent whole
                that got no answer "may have arrived": it is never sent again
                by itself, and later runs skip it as they skip duplicates.
  categories    List the sub-categories at PATH, or the top level without
                one: one "ID<tab>NAME" line each.
  bookmarks     List the bookmarks of LumaroImporter: one
                "NAME<tab>ADDRESS<tab>USER" line each, never a password.
  log           Print the import log, oldest first: one "UPLOAD TIME<tab>
                BOOKMARK<tab>CATEGORY ID<tab>CATEGORY PATH<tab>FILE" line each.

Options:
  -b, --bookmark NAME   Use the server of the bookmark NAME (for log: show only
                        its entries).
  -u, --url URL         Use a server without a bookmark:
                        http[s]://USER@HOST[:PORT][/APP-PATH], an IPv6 address
                        in brackets (http://admin@[::1]:8080). The application
                        path defaults to cgi-bin/WebObjects/Lumaro.woa. Its
                        uploads enter the import log without a bookmark.
  -c, --category PATH   The target category as a path of names from the top
                        level, such as /Photos/2026/Summer, resolved one level
                        at a time. A missing name is an error that lists the
                        names there; two siblings of that name are an error that
                        lists their ids. A slash inside a name is written \/
                        (and a backslash before a slash \\): --category
                        '/Clients/AC\/DC'. Names match as Unicode text, however
                        accents are composed.
      --category-id N   The target category by its id.
      --create          Create the missing categories along PATH, each under its
                        parent.
      --flatten         Put every file into the target itself, without
                        categories for the folders.
      --upload-duplicates
                        Send files the import log says went to this server
                        before, and files that may have arrived there in an
                        earlier run, instead of skipping them.
      --retries N       Send a file again at most N times (0: never; by default
                        as often as --retry-for allows).
      --retry-for DURATION
                        Keep trying through failures for this long: 90s, 30m,
                        2h (0 turns retries off). By default the bookmark's
                        "Retry failed uploads for" setting, else 30m.
      --parallel N      Send up to N files at once (1 to 8), each on a
                        connection of its own, for a server that takes its time
                        over each file. By default the bookmark's "Simultaneous
                        uploads" setting, else 1: one file after another.
  -n, --dry-run         Print the categories that would be created ("would
                        create PATH", target and folders alike) and where each
                        file would go ("would upload FILE to PATH", with the
                        id of a category that exists); create and send nothing
                        but the server check and the reads that find the
                        categories.
      --json            Write one JSON object per line to standard output for
                        each event: not-added (with "reason"), file-skipped
                        (with "uploadedTo" and "uploaded"), batch-started,
                        file-started, file-uploaded, file-failed (with
                        "reason"), retry-wait (with "wait": retry, paused or
                        offline, "seconds", "attempt" and "reason"),
                        may-have-arrived (with "reason") and batch-done (with
                        "uploaded", "failed", "mayHaveArrived", "notSent",
                        "skipped", "notAdded" and "exitStatus"). A skipped file
                        that may have arrived before carries "mayHaveArrived".
                        With --dry-run: would-create, would-upload and
                        would-fail. A run that ends before its batch (a usage
                        error, a server that cannot be reached or used, an
                        untrusted certificate, nothing to upload) writes one
                        exit event instead, with "exitStatus" and "reason".
      --password-stdin  Read the password from the first line of standard input.
      --trust-certificate SHA256
                        Trust the server's certificate with this SHA-256
                        fingerprint (32 hex pairs, as LumaroImporter and the
                        message about an untrusted certificate show it) for
                        this run, in place of the one its bookmark trusts; it
                        is never saved.
      --timeout SECONDS
                        Give up a request that makes no progress for this long
                        (the server check, each listing, each category created,
                        each file sent), and the wait for the keyring: 1 to
                        86400, default 60, as in LumaroImporter.
      --limit-rate SPEED
                        Send the files no faster than SPEED bytes a second, as
                        curl's option of that name: 500K, 2M, 1.5M or 1048576
                        (K and M count in 1024s). 0 sends at full speed even
                        when the bookmark sets a limit. Without it, the limit
                        set in the bookmark's advanced settings applies.
      --since DATE      Only log entries uploaded at or after DATE, in local
                        time: 2026-03-07 or 2026-03-07T18:00.
  -h, --help            Show this help and exit.
  -V, --version         Show the version and exit.

Password:
  The first line of standard input with --password-stdin; else the
  LUMARO_PASSWORD environment variable; else the bookmark's stored password.
  A password given for the run wins over the stored one. A login the server
  refuses says which was used ("the password from standard input"). It is
  never taken as an argument, since other users can read arguments in the
  process list.

Certificates:
  An HTTPS server's certificate must be one this computer trusts, or the one
  trusted in the bookmark (in LumaroImporter's window), or the one given with
  --trust-certificate. Any other ends the run at once with status 3 and a
  message with its SHA-256 fingerprint, what is wrong with it and how to trust
  it: nobody is asked, so an unattended run never waits for an answer.

Output:
  On a terminal, a live line shows the file (n of m), the bytes sent, the speed
  and the time left, above one line per uploaded file; otherwise only the line
  per uploaded file. Files that fail are listed on standard error with the
  reason. Each uploaded file enters the import log of LumaroImporter (bookmark,
  category id and path, upload time); the window's upload queues are never
  touched, and LumaroImporter may run meanwhile. A file is recorded as being
  sent before it goes: one that may have arrived without an answer (or whose
  run ended while it was sent) stays recorded so, and appears in the window's
  queue of its bookmark as "may have arrived".

Interrupting:
  Ctrl+C stops after the file in flight and lists what was not sent; a second
  Ctrl+C stops at once.

Exit status:
  0   every file was uploaded or skipped as sent before (for the other
      commands: done).
  1   some files failed, may have arrived unconfirmed, were not sent or could
      not be added; each is listed on standard error.
  2   usage error.
  3   the server or the store could not be used: no connection, wrong login,
      not a Lumaro server, an untrusted certificate, no answer within
      --timeout, category not found or ambiguous (or its level could not be
      listed completely, so nothing is created there), store locked by
      another program for longer than 5 seconds.

Environment:
  LUMARO_PASSWORD   The password, unless --password-stdin gives one; it wins
                    over the bookmark's stored password.
  http_proxy, https_proxy, all_proxy, no_proxy
                    The proxy for each request, read as curl reads them (also
                    HTTPS_PROXY, ALL_PROXY, NO_PROXY); no_proxy takes "*",
                    host names that also match the names below them, IP
                    addresses and networks, each optionally with ":PORT".
                    This machine itself is always reached directly.
  XDG_DATA_HOME     Where the store lies:
                    $XDG_DATA_HOME/com.veltrane.LumaroImporter/LumaroImporter.storedata
                    (by default under ~/.local/share).

Examples:
  Upload a camera card into a category, creating the missing levels; its
  folders become /Photos/2026/Summer/DCIM/100CANON and so on:
    lumaro-import upload --bookmark "Demo server" --category /Photos/2026/Summer --create ~/card/DCIM

  Every file of a folder tree into one category, from cron: a second run
  sends only what is new:
    lumaro-import upload --bookmark "Demo server" --category /Inbox --flatten ~/scans

  Push render output to a server without a bookmark, with events for a script:
    lumaro-import upload --url https://admin@assets.example.com --category-id 42 --json render/*.exr

  Show what went up this month:
    lumaro-import log --bookmark "Demo server" --since 2026-03-01
)");
}
