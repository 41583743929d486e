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

QtMessageHandler& previous()
{
    static QtMessageHandler h = nullptr;
    return h;
}

void record(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    {
        QMutexLocker lock(&mutex());
        recorded() << text;
    }
    if (previous())
        previous()(type, context, text);
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
