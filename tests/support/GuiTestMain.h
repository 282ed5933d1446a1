#pragma once

#include "TestEnvironment.h"
#include "app/Translations.h"

#include <QApplication>
#include <QLocale>

// English texts whatever the session's language, with the application's plural forms.
#define LUMARO_GUI_TEST_MAIN(TestObject)                                                                     \
    LUMARO_TEST_MAIN_WITH(QApplication, TestObject, Translations::install(QLocale(QLocale::English)))
