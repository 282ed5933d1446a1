#include "app/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace Translations {

QList<QTranslator *> install(const QLocale &locale)
{
    QList<QTranslator *> installed;
    const auto add = [&installed](QTranslator *translator, bool loaded) {
        const bool added = loaded && QCoreApplication::installTranslator(translator);
        if (added)
            installed.append(translator);
        else
            delete translator;
        return added;
    };
    // A translator installed later is asked first.
    auto *plurals = new QTranslator(QCoreApplication::instance());
    add(plurals, plurals->load(QStringLiteral(":/i18n/lumaroimporter_en.qm")));
    auto *own = new QTranslator(QCoreApplication::instance());
    if (!add(own, own->load(locale, QStringLiteral("lumaroimporter"), QStringLiteral("_"),
                            QStringLiteral(":/i18n"))))
        return installed;
    // Qt's catalogue in the language ours was found in, so one window never mixes two languages.
    auto *qt = new QTranslator(QCoreApplication::instance());
    add(qt, qt->load(QStringLiteral("qtbase_") + own->language(),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)));
    return installed;
}

} // namespace Translations
