#include "class_uart.h"

#include <QDebug>
#include <QMutex>
#include <QMutexLocker>
#include <QSerialPortInfo>

namespace {

// Set by tests in their own thread while a worker may be rescanning in its thread.
QMutex extraNamesLock;

QStringList& extraNames()
{
    static QStringList names;
    return names;
}

// Errors that mean the line is gone while open. Linux reports a hang-up or an unplugged adapter as
// a read or resource error, Windows as a permission error.
bool isLineLost(QSerialPort::SerialPortError error)
{
    return error == QSerialPort::PermissionError || error == QSerialPort::ReadError ||
           error == QSerialPort::ResourceError;
}

// Where a port name points: a name of its own ("ttyUSB0") lives in /dev, a path is taken as it is.
QString location(const QString& name)
{
#ifdef Q_OS_UNIX
    return name.startsWith('/') ? name : "/dev/" + name;
#else
    return name;
#endif
}

void configure(QSerialPort& port, const QString& name, unsigned int baud)
{
    port.setPortName(name);
    port.setBaudRate(qint32(baud), QSerialPort::AllDirections);
    port.setDataBits(QSerialPort::Data8);
    port.setParity(QSerialPort::NoParity);
    port.setStopBits(QSerialPort::OneStop);
    port.setFlowControl(QSerialPort::NoFlowControl);
}

}  // namespace

class_uart::class_uart(QObject* parent) : QObject(parent), port(new QSerialPort(this))
{
    connect(port, &QSerialPort::errorOccurred, this, &class_uart::onError);
    qDebug() << "uart init";
}

class_uart::~class_uart()
{
    qDebug() << "uart deinit";
    // Closing in the port's destructor must not run our handler on a half-destroyed adapter.
    port->disconnect(this);
    delete port;
    port = nullptr;
}

bool class_uart::open(const QString& name, unsigned int baud)
{
    if (port->isOpen())
        port->close();
    configure(*port, name, baud);
    if (port->open(QIODevice::ReadWrite)) {
        emit si_openSuccess();
        return true;
    }
    emit si_openFail();
    return false;
}

void class_uart::scan(bool tryOpen)
{
    QStringList names;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        names << info.portName();
    for (const QString& name : extraPortNames())
        if (!names.contains(name))
            names << name;

    QStringList list;
    for (const QString& name : names) {
        if (!tryOpen) {
            list << name;
            continue;
        }
        // Our own open port is in use by us, not busy elsewhere.
        if (port->isOpen() && location(port->portName()) == location(name)) {
            list << name;
            continue;
        }
        // A separate probe, so an open link on `port` is never disturbed by the scan.
        QSerialPort probe;
        probe.setPortName(name);
        if (probe.open(QIODevice::ReadWrite)) {
            list << name;
            probe.close();
        }
    }
    emit si_scanEnd(list);
}

void class_uart::close()
{
    if (port->isOpen())
        port->close();
    emit si_close();
}

void class_uart::setExtraPortNames(const QStringList& names)
{
    QMutexLocker lock(&extraNamesLock);
    extraNames() = names;
}

QStringList class_uart::extraPortNames()
{
    QMutexLocker lock(&extraNamesLock);
    return extraNames();
}

void class_uart::onError(QSerialPort::SerialPortError error)
{
    if (!isLineLost(error) || !port->isOpen())
        return;
    qDebug() << "uart lost:" << error;
    port->close();
    emit si_close();
}
