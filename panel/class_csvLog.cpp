#include "class_csvLog.h"

#include "class_finger.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QObject>

class_csvLog::class_csvLog()
{
    stream.setCodec("UTF-8");
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
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        return false;
    stream.setDevice(&file);
    stream.resetStatus();
    headerDue = file.size() == 0;
    return true;
}

void class_csvLog::writeHeader(const class_finger& ff)
{
    qDebug() << "creat save file";
    // One title over each column: the time of the row, then the frame's sequence byte.
    stream << QObject::tr("时间") << ',' << QObject::tr("序号");
    for (int i = 0; i < ff.chDataList.size(); ++i)
        stream << QObject::tr(",通道") << i;
    for (int k = 0; k < ff.yddsList.size(); ++k) {
        stream << QObject::tr(",三维力") << k << QObject::tr("_法向力");
        stream << QObject::tr(",三维力") << k << QObject::tr("_切向力");
        stream << QObject::tr(",三维力") << k << QObject::tr("_方向");
    }
    for (int i = 0; i < ff.sProxList.size(); ++i)
        stream << QObject::tr(",自电容接近") << i;
    for (int i = 0; i < ff.mProxList.size(); ++i)
        stream << QObject::tr(",互电容接近") << i;
    if (!ff.statusList.isEmpty())
        stream << QObject::tr(",状态") << ff.statusList.first();
    stream << '\n';
}

bool class_csvLog::writeFrame(const class_finger& ff, qint64 msecsSinceEpoch)
{
    if (!isOpen())
        return false;
    if (headerDue) {
        writeHeader(ff);
        headerDue = false;
    }
    stream << msecsSinceEpoch << ',' << int(ff.seq);
    for (const QString& v : ff.chDataList)
        stream << ',' << v;
    for (const class_finger::ydds_str_ts& p : ff.yddsList)
        stream << ',' << p.normal << ',' << p.tangential << ',' << p.direction;
    for (const QString& v : ff.sProxList)
        stream << ',' << v;
    for (const QString& v : ff.mProxList)
        stream << ',' << v;
    if (!ff.statusList.isEmpty())
        stream << ',' << ff.statusList.first();
    stream << '\n';
    return stream.status() == QTextStream::Ok;
}

bool class_csvLog::close()
{
    if (!isOpen())
        return true;
    stream.flush();
    bool ok = stream.status() == QTextStream::Ok;
    stream.setDevice(nullptr);
    ok = file.flush() && ok;
    file.close();
    return ok && file.error() == QFileDevice::NoError;
}
