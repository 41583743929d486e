#pragma once
// Test main: every test process gets its own temporary HOME/XDG folders and program folder,
// the offscreen platform, the embedded resources, and warnings recorded instead of shown.

#include "hooks.h"
#include "warningRecorder.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QtTest>

namespace testenv {
// Points HOME, XDG_* and the program folder into dir before the application exists.
void prepare(const QTemporaryDir& dir);
}  // namespace testenv

// Runs a step that checks with QVERIFY/QCOMPARE/QTRY_* itself and ends the test when it failed,
// so that the test does not go on with what the step did not bring about.
#define TACTILE_STEP(call)                   \
    do {                                     \
        call;                                \
        if (QTest::currentTestFailed())      \
            return;                          \
    } while (false)

#define TACTILE_TEST_MAIN(TestObject)                                  \
    int main(int argc, char** argv)                                    \
    {                                                                  \
        QTemporaryDir sandbox;                                         \
        testenv::prepare(sandbox);                                     \
        QApplication app(argc, argv);                                  \
        Q_INIT_RESOURCE(translations);                                 \
        hooks::setProgramDir(sandbox.path() + "/program");             \
        WarningRecorder::install();                                    \
        TestObject tc;                                                 \
        QTEST_SET_MAIN_SOURCE_PATH                                     \
        return QTest::qExec(&tc, argc, argv);                          \
    }
