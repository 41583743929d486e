#include "class_tcp.h"

#include <QDebug>

class_tcp::class_tcp(QObject* parent) : QObject(parent)
{
    qDebug() << "tcp new";
    isConnected = 0;
    socket = new QTcpSocket(this);
    connect(socket, &QTcpSocket::connected, this, [this] {
        qDebug() << "tcp connected";
        isConnected = 1;
        emit si_connected();
    });
    connect(socket, &QTcpSocket::disconnected, this, [this] {
        qDebug() << "tcp disconnected";
        isConnected = 0;
        emit si_disconnected();
    });
    // Nothing in the program listens to the viewer; the bytes are read so they do not pile up.
    connect(socket, &QTcpSocket::readyRead, this, [this] { emit si_receive(socket->readAll()); });
}

class_tcp::~class_tcp()
{
    qDebug() << "tcp delete";
    disconnect(this, nullptr, nullptr, nullptr);
    // Aborting a live socket in its destructor emits disconnected; nobody is left to hear it.
    socket->disconnect(this);
    delete socket;
    socket = nullptr;
}
