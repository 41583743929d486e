#pragma once
// Records the program's log lines, from any thread, while it lives; every line still goes on to
// the handler that was there before (the test log). One recorder at a time.
//
//     LogRecorder log;
//     ... run the code under test ...
//     QVERIFY(log.waitFor("^find pca$"));

#include <QString>
#include <QStringList>
#include <functional>

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
    // Runs action once, at the next line that matches, in the thread that logs it and before
    // that thread goes on: a step of the code under test that reports nothing but its log line.
    void onNext(const QString& pattern, std::function<void()> action);
};
