#pragma once

#include <QList>

class QLocale;
class QTranslator;

namespace Translations {
// Installs the application's catalogue and Qt's own (the standard buttons, the file chooser) for
// the first of locale's languages that has one, with the English plural forms beneath, so
// "%n files" reads right whatever the language. Returns what it installed, owned by the
// application object.
QList<QTranslator *> install(const QLocale &locale);
} // namespace Translations
