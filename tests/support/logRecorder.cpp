#include "logRecorder.h"

#include <QMutex>
#include <QRegularExpression>
#include <QTest>
#include <QtGlobal>

namespace {

QMutex& mutex()
{
    static QMutex m;
    return m;
}

QStringList& recorded()
{
    static QStringList l;
    return l;
}

struct Hook {
    QRegularExpression pattern;
    std::function<void()> action;
};

QList<Hook>& hooks()
{
    static QList<Hook> h;
    return h;
}

QtMessageHandler& previous()
{
    static QtMessageHandler h = nullptr;
    return h;
}

void record(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    QList<std::function<void()>> due;
    {
        QMutexLocker lock(&mutex());
        recorded() << text;
        for (auto it = hooks().begin(); it != hooks().end();) {
            if (it->pattern.match(text).hasMatch()) {
                due << it->action;
                it = hooks().erase(it);
            } else {
                ++it;
            }
        }
    }
    if (previous())
        previous()(type, context, text);
    for (const auto& action : due)
        action();
}

}  // namespace

LogRecorder::LogRecorder()
{
    QMutexLocker lock(&mutex());
    recorded().clear();
    previous() = qInstallMessageHandler(record);
}

LogRecorder::~LogRecorder()
{
    qInstallMessageHandler(previous());
    QMutexLocker lock(&mutex());
    hooks().clear();
}

QStringList LogRecorder::lines() const
{
    QMutexLocker lock(&mutex());
    return recorded();
}

QStringList LogRecorder::matching(const QString& pattern) const
{
    const QRegularExpression re(pattern);
    QStringList out;
    for (const QString& line : lines())
        if (re.match(line).hasMatch())
            out << line;
    return out;
}

bool LogRecorder::waitFor(const QString& pattern, int timeoutMs) const
{
    return QTest::qWaitFor([&] { return !matching(pattern).isEmpty(); }, timeoutMs);
}

void LogRecorder::onNext(const QString& pattern, std::function<void()> action)
{
    QMutexLocker lock(&mutex());
    hooks().append({QRegularExpression(pattern), std::move(action)});
}
