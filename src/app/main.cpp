#include "app/AppDelegate.h"
#include "app/SingleInstance.h"
#include "app/Translations.h"
#include "platform/TerminationSignals.h"
#include "store/PersistentStore.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QLocale>
#include <QLoggingCategory>

#include <cstdio>

namespace {
// --version and --help answer before the window system is touched, so they work without a
// display. Anything else on the command line (Qt's own -platform, -style...) is left to Qt.
bool answeredCommandLine(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Uploads local files into the categories of a Lumaro asset server."));
    const QCommandLineOption version(QStringLiteral("version"),
                                     QStringLiteral("Displays version information."));
    const QCommandLineOption help(QStringLiteral("help"), QStringLiteral("Displays this help."));
    parser.addOption(version);
    parser.addOption(help);
    (void)parser.parse(arguments);
    if (parser.isSet(version))
        std::fputs("LumaroImporter " LUMARO_VERSION "\n", stdout);
    else if (parser.isSet(help))
        // Without an application object the parser does not know the program's name.
        std::fputs(qPrintable(parser.helpText().replace(QStringLiteral("<executable_name>"),
                                                        QStringLiteral("LumaroImporter"))),
                   stdout);
    else
        return false;
    return true;
}
} // namespace

int main(int argc, char *argv[])
{
    if (answeredCommandLine(argc, argv))
        return 0;
    // Our own diagnostics below warnings stay quiet unless QT_LOGGING_RULES asks for them.
    QLoggingCategory::setFilterRules(QStringLiteral("lumaro.*.debug=false\nlumaro.*.info=false"));
    QApplication app(argc, argv);
    // The session's language (LANGUAGE, LC_MESSAGES, LANG); the console lines stay English.
    Translations::install(QLocale::system());
    QApplication::setOrganizationName(QStringLiteral("veltrane"));
    QApplication::setOrganizationDomain(QStringLiteral("veltrane.com"));
    QApplication::setApplicationName(QStringLiteral("LumaroImporter"));
    QApplication::setApplicationDisplayName(QStringLiteral("Lumaro Importer"));
    QApplication::setApplicationVersion(QStringLiteral(LUMARO_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("com.veltrane.LumaroImporter"));
    // The quit flow decides when the process ends, not the closing of a window.
    QApplication::setQuitOnLastWindowClosed(false);

    // A second start brings the running application forward instead of opening the same store.
    SingleInstance instance(SingleInstance::socketPathFor(PersistentStore::applicationDocumentsDirectory()));
    switch (instance.start()) {
    case SingleInstance::Role::HandedOver:
        return 0;
    case SingleInstance::Role::Unanswered:
        std::fputs("LumaroImporter is already running but does not answer.\n", stderr);
        return 1;
    case SingleInstance::Role::Primary:
        break;
    }

    {
        AppDelegate delegate;
        // A quit may come while launching, inside a blocking alert before the main loop runs;
        // exit() only ends the loops running then, so the main loop must not start afterwards.
        bool ended = false;
        QObject::connect(&delegate, &AppDelegate::terminated, &app, [&ended] {
            ended = true;
            QCoreApplication::exit(0);
        });
        QObject::connect(&instance, &SingleInstance::activationRequested, &delegate,
                         &AppDelegate::showBookmarksWindow);

        TerminationSignals signals_;
        QObject::connect(&signals_, &TerminationSignals::terminationRequested, &delegate,
                         &AppDelegate::terminate);

        delegate.applicationDidFinishLaunching();
        if (!ended)
            app.exec();
    }
    return 0;
}
