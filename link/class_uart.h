#pragma once
// The serial link to sensors and boot loaders: one QSerialPort, opened 8N1 without flow control.

#include <QObject>
#include <QSerialPort>
#include <QStringList>

class class_uart : public QObject {
    Q_OBJECT
public:
    explicit class_uart(QObject* parent = nullptr);
    ~class_uart() override;

    bool open(const QString& name, unsigned int baud);
    void scan(bool tryOpen);
    void close();

    // Pseudo-terminals are not listed by QSerialPortInfo; tests add their port names here.
    static void setExtraPortNames(const QStringList& names);
    static QStringList extraPortNames();

    QSerialPort* port = nullptr;

signals:
    void si_scanEnd(QStringList nameList);
    void si_openSuccess();
    void si_openFail();
    void si_close();

private:
    void onError(QSerialPort::SerialPortError error);
};
