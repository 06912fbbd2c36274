#pragma once

#include "core/application.h"
#include "support/msgscript.h"

#include <QTest>

// Like QTEST_MAIN, with the program's own application object (its general error report).
#define TV_TEST_MAIN(TestObject)                                                                                       \
    int main(int argc, char** argv)                                                                                    \
    {                                                                                                                  \
        TvApplication app(argc, argv);                                                                                 \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                                       \
        tst::installFailingMsgHandler();                                                                               \
        TestObject tc;                                                                                                 \
        QTEST_SET_MAIN_SOURCE_PATH                                                                                     \
        return QTest::qExec(&tc, argc, argv);                                                                          \
    }
