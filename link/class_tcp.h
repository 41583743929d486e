#pragma once
// The TCP client of the waveform stream.

#include <QByteArray>
#include <QObject>
#include <QTcpSocket>
#include <cstdint>

class class_tcp : public QObject {
    Q_OBJECT
public:
    explicit class_tcp(QObject* parent = nullptr);
    ~class_tcp() override;

    QTcpSocket* socket = nullptr;
    uint8_t isConnected = 0;

signals:
    void si_connected();
    void si_disconnected();
    void si_receive(QByteArray buf);
};
