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
        QObject::connect(&delegate, &AppDelegate::terminated, &app, [] { QCoreApplication::exit(0); });

        TerminationSignals signals_;
        QObject::connect(&signals_, &TerminationSignals::terminationRequested, &delegate,
                         &AppDelegate::terminate);

        delegate.applicationDidFinishLaunching();
        app.exec();
    }
    return 0;
}
