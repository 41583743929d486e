#include "class_csvLog.h"

#include "class_finger.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QObject>
#include <charconv>

namespace {

// The platform's text line end, as a file opened in text mode would write it.
#ifdef Q_OS_WIN
const char kLineEnd[] = "\r\n";
#else
const char kLineEnd[] = "\n";
#endif
constexpr char kSeparator = ',';
constexpr int kRowReserve = 64 * 1024;

void appendUtf8(QByteArray& out, const QString& text)
{
    out += text.toUtf8();
}

// Value texts are decimal numbers: copied as they are, without a conversion of their own.
void appendValue(QByteArray& out, const QString& text)
{
    const int at = out.size();
    const int n = text.size();
    out.resize(at + n);
    char* d = out.data() + at;
    const QChar* c = text.constData();
    for (int i = 0; i < n; ++i) {
        const ushort u = c[i].unicode();
        if (u >= 0x80) {
            out.resize(at);
            appendUtf8(out, text);
            return;
        }
        d[i] = char(u);
    }
}

void appendNumber(QByteArray& out, qint64 v)
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, v).ptr;
    out.append(digits, int(end - digits));
}

}  // namespace

class_csvLog::class_csvLog()
{
    flushClock.setSingleShot(true);
    QObject::connect(&flushClock, &QTimer::timeout, [this] {
        if (!flush() && writeFailed)
            writeFailed(file.fileName());
    });
}

class_csvLog::~class_csvLog()
{
    close();
}

QString class_csvLog::fileName(const QDateTime& created, uint8_t infIdx, uint8_t addr)
{
    return created.toString("yyyyMMdd_hhmmss_zzz") + "__" + QString::number(infIdx + 1) + "__" +
           QString::asprintf("0x%02X", addr) + ".csv";
}

bool class_csvLog::open(const QString& path)
{
    close();
    QDir().mkpath(QFileInfo(path).absolutePath());
    file.setFileName(path);
    // Unbuffered: each flush is one write of whole rows, never a row split between two.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return false;
    headerDue = file.size() == 0;
    writeOk = true;
    pending.clear();
    pending.reserve(kRowReserve);  // reserved room stays when the rows are written
    return true;
}

void class_csvLog::appendHeader(const class_finger& ff)
{
    qDebug() << "creat save file";
    // One title over each column: the time of the row, then the frame's sequence byte.
    QString h = QObject::tr("时间") + kSeparator + QObject::tr("序号");
    for (int i = 0; i < ff.chDataList.size(); ++i)
        h += QObject::tr(",通道") + QString::number(i);
    for (int k = 0; k < ff.yddsList.size(); ++k) {
        const QString n = QString::number(k);
        h += QObject::tr(",三维力") + n + QObject::tr("_法向力");
        h += QObject::tr(",三维力") + n + QObject::tr("_切向力");
        h += QObject::tr(",三维力") + n + QObject::tr("_方向");
    }
    for (int i = 0; i < ff.sProxList.size(); ++i)
        h += QObject::tr(",自电容接近") + QString::number(i);
    for (int i = 0; i < ff.mProxList.size(); ++i)
        h += QObject::tr(",互电容接近") + QString::number(i);
    if (!ff.statusList.isEmpty())
        h += QObject::tr(",状态") + ff.statusList.first();
    appendUtf8(pending, h);
    pending += kLineEnd;
}

void class_csvLog::appendRow(const class_finger& ff, qint64 msecsSinceEpoch)
{
    appendNumber(pending, msecsSinceEpoch);
    pending += kSeparator;
    appendNumber(pending, ff.seq);
    for (const QString& v : ff.chDataList) {
        pending += kSeparator;
        appendValue(pending, v);
    }
    for (const class_finger::ydds_str_ts& p : ff.yddsList) {
        for (const QString* v : {&p.normal, &p.tangential, &p.direction}) {
            pending += kSeparator;
            appendValue(pending, *v);
        }
    }
    for (const QVector<QString>* list : {&ff.sProxList, &ff.mProxList}) {
        for (const QString& v : *list) {
            pending += kSeparator;
            appendValue(pending, v);
        }
    }
    if (!ff.statusList.isEmpty()) {
        pending += kSeparator;
        appendValue(pending, ff.statusList.first());
    }
    pending += kLineEnd;
}

bool class_csvLog::writeFrame(const class_finger& ff, qint64 msecsSinceEpoch)
{
    if (!isOpen())
        return false;
    const bool first = pending.isEmpty();
    if (headerDue) {
        appendHeader(ff);
        headerDue = false;
    }
    appendRow(ff, msecsSinceEpoch);
    if (first) {
        pendingSince.start();
        flushClock.start(kFlushMs);
        return true;
    }
    // The clock may wait behind a stream of frames: the age of the rows decides as well.
    if (pending.size() >= kMaxPendingBytes || pendingSince.elapsed() >= kFlushMs)
        return flush();
    return true;
}

bool class_csvLog::flush()
{
    flushClock.stop();
    if (pending.isEmpty() || !isOpen())
        return writeOk;
    const qint64 written = file.write(pending);
    if (written != pending.size()) {
        qDebug() << "csv write failed:" << file.errorString();
        writeOk = false;
    }
    pending.resize(0);  // keeps its reserved room for the next rows
    return writeOk;
}

bool class_csvLog::close()
{
    if (!isOpen())
        return true;
    const bool ok = flush();
    file.close();
    pending.clear();  // frees the room
    headerDue = false;
    return ok;
}
