// lumaro-import: LumaroImporter's uploads from the command line, over the same core.
#include "CliOptions.h"
#include "Commands.h"

#include "platform/ConsoleLog.h"

#include <QCoreApplication>
#include <QLoggingCategory>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("lumaro-import"));
    QCoreApplication::setApplicationVersion(QStringLiteral(LUMARO_VERSION));
    // Standard output carries results only, and every failure is reported once, by the
    // command (QT_LOGGING_RULES still turns diagnostics on).
    ConsoleLog::setStream(nullptr);
    QLoggingCategory::setFilterRules(QStringLiteral("lumaro.*=false\nqt.network.http.warning=false"));

    const auto parsed = parseArguments(QCoreApplication::arguments());
    if (const auto *failure = std::get_if<Failure>(&parsed))
        return Commands::exitEarly(*failure, jsonRequested(QCoreApplication::arguments()));
    const CliOptions &options = std::get<CliOptions>(parsed);
    switch (options.command) {
    case CliOptions::Command::Help:
        std::fputs(helpText().toUtf8().constData(), stdout);
        return ExitSuccess;
    case CliOptions::Command::Version:
        std::printf("lumaro-import %s\n", LUMARO_VERSION);
        return ExitSuccess;
    case CliOptions::Command::Upload:
        return Commands::upload(options);
    case CliOptions::Command::Categories:
        return Commands::categories(options);
    case CliOptions::Command::Bookmarks:
        return Commands::bookmarks();
    case CliOptions::Command::Log:
        return Commands::log(options);
    }
    return ExitUsage;
}
