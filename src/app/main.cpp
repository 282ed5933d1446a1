#include "app/AppDelegate.h"
#include "platform/TerminationSignals.h"

#include <QApplication>
#include <QIcon>
#include <QLoggingCategory>

int main(int argc, char *argv[])
{
    // Our own diagnostics below warnings stay quiet unless QT_LOGGING_RULES asks for them.
    QLoggingCategory::setFilterRules(QStringLiteral("lumaro.*.debug=false\nlumaro.*.info=false"));
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("veltrane"));
    QApplication::setOrganizationDomain(QStringLiteral("veltrane.com"));
    QApplication::setApplicationName(QStringLiteral("LumaroImporter"));
    QApplication::setApplicationDisplayName(QStringLiteral("Lumaro Importer"));
    QGuiApplication::setDesktopFileName(QStringLiteral("com.veltrane.LumaroImporter"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/lumaro-importer.png")));
    // The quit flow decides when the process ends, not the closing of a window.
    QApplication::setQuitOnLastWindowClosed(false);

    {
        AppDelegate delegate;
        // A quit may come while launching, inside a blocking alert before the main loop runs;
        // exit() only ends the loops running then, so the main loop must not start afterwards.
        bool ended = false;
        QObject::connect(&delegate, &AppDelegate::terminated, &app, [&ended] {
            ended = true;
            QCoreApplication::exit(0);
        });

        TerminationSignals signals_;
        QObject::connect(&signals_, &TerminationSignals::terminationRequested, &delegate,
                         &AppDelegate::terminate);

        delegate.applicationDidFinishLaunching();
        if (!ended)
            app.exec();
    }
    return 0;
}
