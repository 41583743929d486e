#pragma once
// Records the program's log lines, from any thread, while it lives; every line still goes on to
// the handler that was there before (the test log). One recorder at a time.
//
//     LogRecorder log;
//     ... run the code under test ...
//     QVERIFY(log.waitFor("^find pca$"));

#include <QString>
#include <QStringList>

class LogRecorder {
public:
    LogRecorder();
    ~LogRecorder();
    LogRecorder(const LogRecorder&) = delete;
    LogRecorder& operator=(const LogRecorder&) = delete;

    QStringList lines() const;
    // The lines that match the regular expression, in order.
    QStringList matching(const QString& pattern) const;
    // Waits until a line matches; pending events of this thread run meanwhile.
    bool waitFor(const QString& pattern, int timeoutMs = 5000) const;
};
