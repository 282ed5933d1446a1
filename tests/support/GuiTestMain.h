#pragma once

#include "TestEnvironment.h"
#include "app/Translations.h"

#include <QApplication>
#include <QLocale>

#define LUMARO_GUI_TEST_MAIN(TestObject)                                                                     \
    int main(int argc, char *argv[])                                                                         \
    {                                                                                                        \
        TestEnvironment environment;                                                                         \
        QApplication app(argc, argv);                                                                        \
        /* English texts whatever the session's language, with the application's plural forms */             \
        Translations::install(QLocale(QLocale::English));                                                    \
        TestObject tc;                                                                                       \
        QTEST_SET_MAIN_SOURCE_PATH                                                                           \
        return QTest::qExec(&tc, argc, argv);                                                                \
    }
