#pragma once

#include "TestEnvironment.h"

#include <QApplication>

#define LUMARO_GUI_TEST_MAIN(TestObject)                                                                          \
    int main(int argc, char *argv[])                                                                               \
    {                                                                                                              \
        TestEnvironment environment;                                                                               \
        QApplication app(argc, argv);                                                                              \
        TestObject tc;                                                                                             \
        QTEST_SET_MAIN_SOURCE_PATH                                                                                 \
        return QTest::qExec(&tc, argc, argv);                                                                      \
    }
