#include "GuiTestMain.h"

#include "UploadTestKit.h"
#include "app/Translations.h"
#include "bookmarks/LMBookmarksWindowController.h"
#include "session/DuplicateSheet.h"

#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QTranslator>

using namespace UploadTestKit;

namespace {
[[nodiscard]] QStringList labelTexts(const QWidget *widget)
{
    QStringList texts;
    for (const QLabel *label : widget->findChildren<QLabel *>())
        texts.append(label->text());
    return texts;
}
} // namespace

// The window in another language, with the translators installed as main() installs them: the
// application's texts with their plurals, Qt's own texts and the locale's formats.
class TestTranslations : public QObject {
    Q_OBJECT

    QList<QTranslator *> m_installed;
    QTemporaryDir m_files;

private slots:
    void cleanup()
    {
        for (QTranslator *translator : std::as_const(m_installed))
            QCoreApplication::removeTranslator(translator);
        qDeleteAll(m_installed);
        m_installed.clear();
        QLocale::setDefault(QLocale::system());
    }

    void windowSpeaksTheSessionsLanguage_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QStringList>("bookmarks"); // title, Connect's tool tip
        QTest::addColumn<QString>("notLumaro"); // the session's alert, with the connection's reason
        QTest::addColumn<QString>("uploading");
        QTest::addColumn<QString>("duplicates");
        QTest::addColumn<QString>("queuedAlready");
        QTest::addColumn<QString>("qtCancel");
        QTest::newRow("de") << "de"
                            << QStringList{"Server-Lesezeichen",
                                           "Ein Sitzungsfenster für das gewählte Lesezeichen öffnen"}
                            << "Dies scheint kein Lumaro-Server zu sein. Bitte prüfen Sie seine Adresse.\n\n"
                               "Die Antwort des Servers ist keine Lumaro-Kennung."
                            << "Datei 2 von 3 wird hochgeladen"
                            << "3 Dateien in der Warteschlange wurden bereits auf diesen Server hochgeladen."
                            << "3 Dateien waren schon in der Warteschlange." << "Abbrechen";
        QTest::newRow("fr") << "fr"
                            << QStringList{"Signets de serveurs",
                                           "Ouvrir une fenêtre de session sur le signet sélectionné"}
                            << "Il ne semble pas s'agir d'un serveur Lumaro. Veuillez vérifier son adresse.\n\n"
                               "La réponse du serveur n'est pas une identité Lumaro."
                            << "téléversement du fichier 2 sur 3"
                            << "3 fichiers de la file d'attente ont déjà été téléversés sur ce serveur."
                            << "3 fichiers étaient déjà dans la file d'attente." << "Annuler";
    }

    void windowSpeaksTheSessionsLanguage()
    {
        QFETCH(QString, language);
        QFETCH(QStringList, bookmarks);
        QFETCH(QString, notLumaro);
        QFETCH(QString, uploading);
        QFETCH(QString, duplicates);
        QFETCH(QString, queuedAlready);
        QFETCH(QString, qtCancel);
        const QLocale locale(language);
        QLocale::setDefault(locale);
        m_installed = Translations::install(locale);
        QCOMPARE(m_installed.size(), 3);
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), qtCancel);

        // Windows made after the translators, as at launch.
        std::unique_ptr<AppDelegate> app = AppTestSupport::freshDelegate();
        AppTestSupport::seed(app->managedObjectContext(),
                             AppTestSupport::BookmarkSeed(QStringLiteral("Bildarchiv"), QStringLiteral("archiv.example"))
                                 .withLogin(QStringLiteral("redaktion"), QStringLiteral("pw")));
        app->applicationDidFinishLaunching();
        LMBookmarksWindowController *window = app->bookmarksWindowController();
        QVERIFY(QTest::qWaitForWindowExposed(window->window()));
        QCOMPARE(window->window()->windowTitle(), bookmarks.at(0));
        QCOMPARE(window->connectToolbarItem()->toolTip(), bookmarks.at(1));
        QVERIFY(saveScreenshot(window->window(), language + QStringLiteral("-bookmarks-window")));

        {
            DevServer stranger({"--identity", "5C02AD91E7B311E6"});
            AlertCatcher alerts;
            QPointer<LMSessionWindowController> session =
                openSession(Storyboard::main(), makeBookmark(app->managedObjectContext(), stranger));
            QVERIFY(alerts.waitForAlert());
            QCOMPARE(alerts.last()->informativeText(), notLumaro);
            AlertCatcher::userButtons(alerts.last()).constFirst()->click();
            QTRY_VERIFY(session.isNull());
        }

        // The second of three files is held by the server while the line says so.
        UploadSession s(app->managedObjectContext(), QStringLiteral("Studio"),
                        {QStringLiteral("--fault"), QStringLiteral("POST /ra/categoryAssets.json#2=delay:3000")});
        QVERIFY(s.waitUntilReady());
        s.session->window()->resize(900, 600);
        const QList<QUrl> files = fileUrls(writeFiles(m_files.filePath(language), 3, 300000));
        s.upload()->AddAssetsToImportQueue(files);
        QTest::mouseClick(s.upload()->startUploadButton(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(s.status(), uploading, kTimeout);
        QTRY_VERIFY(!s.upload()->assetNameTextField()->text().isEmpty());
        QVERIFY(saveScreenshot(s.session->window(), language + QStringLiteral("-upload-mid-batch")));
        QTRY_VERIFY_WITH_TIMEOUT(s.isIdle(), kTimeout);

        // The same files again: the log knows them.
        s.upload()->AddAssetsToImportQueue(files);
        QTest::mouseClick(s.upload()->startUploadButton(), Qt::LeftButton);
        DuplicateSheet *sheet = nullptr;
        QTRY_VERIFY_WITH_TIMEOUT((sheet = s.session->window()->findChild<DuplicateSheet *>()), kTimeout);
        QVERIFY2(labelTexts(sheet).contains(duplicates), qPrintable(labelTexts(sheet).join('\n')));
        // The upload's date in the locale's words.
        const QString today = locale.toString(QDate::currentDate(), QLocale::ShortFormat);
        QVERIFY2(sheet->list()->item(0)->text().contains(today), qPrintable(sheet->list()->item(0)->text()));
        QVERIFY(saveScreenshot(sheet, language + QStringLiteral("-duplicate-sheet")));
        QTest::mouseClick(sheet->button(DuplicateSheet::Cancel), Qt::LeftButton);
        QTRY_VERIFY(s.isIdle());
        s.upload()->AddAssetsToImportQueue(files);
        QTRY_COMPARE(s.status(), queuedAlready);
    }
};

LUMARO_GUI_TEST_MAIN(TestTranslations)
#include "tst_translations.moc"
