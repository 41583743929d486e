// The waveform stream's socket wrapper against a loopback server.

#include "class_tcp.h"
#include "testMain.h"

#include <QPointer>
#include <QSignalSpy>
#include <QTcpServer>

namespace {
constexpr int kWaitMs = 30000;  // loopback takes milliseconds; this catches a hang only
}

class TestTcp : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void startsDisconnected();
    void connectSendAndServerDrop();
    void ownDisconnectEndsInHandler();
    void incomingBytesAreReported();
    void refusedConnectionStaysDisconnected();
    void deleteWhileConnectedSignalsNothing();

private:
    // Connects tcp to the server and returns the server's end of the link.
    QTcpSocket* connectTo(class_tcp& tcp);

    QTcpServer* server = nullptr;
};

void TestTcp::init()
{
    server = new QTcpServer(this);
    QVERIFY(server->listen(QHostAddress::LocalHost, 0));
}

void TestTcp::cleanup()
{
    delete server;
    server = nullptr;
}

QTcpSocket* TestTcp::connectTo(class_tcp& tcp)
{
    QSignalSpy connected(&tcp, &class_tcp::si_connected);
    tcp.socket->connectToHost(QHostAddress::LocalHost, server->serverPort());
    if (!connected.wait(kWaitMs))
        return nullptr;
    if (!server->hasPendingConnections() && !server->waitForNewConnection(kWaitMs))
        return nullptr;
    return server->nextPendingConnection();
}

void TestTcp::startsDisconnected()
{
    class_tcp tcp;
    QCOMPARE(tcp.isConnected, uint8_t(0));
    QVERIFY(tcp.socket);
    QCOMPARE(tcp.socket->parent(), &tcp);
}

void TestTcp::connectSendAndServerDrop()
{
    class_tcp tcp;
    QSignalSpy disconnected(&tcp, &class_tcp::si_disconnected);
    QTcpSocket* peer = connectTo(tcp);
    QVERIFY(peer);
    QCOMPARE(tcp.isConnected, uint8_t(1));

    const QByteArray line = "1.5,2.25,-3\n";
    tcp.socket->write(line);
    QByteArray got;
    QTRY_VERIFY_WITH_TIMEOUT((got += peer->readAll()).size() >= line.size(), kWaitMs);
    QCOMPARE(got, line);

    peer->disconnectFromHost();
    QVERIFY(disconnected.wait(kWaitMs));
    QCOMPARE(disconnected.count(), 1);
    QCOMPARE(tcp.isConnected, uint8_t(0));
}

void TestTcp::ownDisconnectEndsInHandler()
{
    class_tcp tcp;
    QSignalSpy disconnected(&tcp, &class_tcp::si_disconnected);
    QVERIFY(connectTo(tcp));
    tcp.socket->disconnectFromHost();
    QTRY_COMPARE_WITH_TIMEOUT(disconnected.count(), 1, kWaitMs);
    QCOMPARE(tcp.isConnected, uint8_t(0));
}

void TestTcp::incomingBytesAreReported()
{
    class_tcp tcp;
    QSignalSpy received(&tcp, &class_tcp::si_receive);
    QTcpSocket* peer = connectTo(tcp);
    QVERIFY(peer);
    peer->write("hello");
    QVERIFY(received.wait(kWaitMs));
    QCOMPARE(received.at(0).at(0).toByteArray(), QByteArray("hello"));
    QCOMPARE(tcp.socket->bytesAvailable(), qint64(0));
}

void TestTcp::refusedConnectionStaysDisconnected()
{
    const quint16 port = server->serverPort();
    server->close();
    class_tcp tcp;
    QSignalSpy connected(&tcp, &class_tcp::si_connected);
    tcp.socket->connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(!tcp.socket->waitForConnected(kWaitMs));
    QCOMPARE(connected.count(), 0);
    QCOMPARE(tcp.isConnected, uint8_t(0));
}

void TestTcp::deleteWhileConnectedSignalsNothing()
{
    auto* tcp = new class_tcp;
    QSignalSpy disconnected(tcp, &class_tcp::si_disconnected);
    QVERIFY(connectTo(*tcp));
    QPointer<QTcpSocket> socket = tcp->socket;
    delete tcp;
    QVERIFY(socket.isNull());
    QCOMPARE(disconnected.count(), 0);
}

TACTILE_TEST_MAIN(TestTcp)
#include "tst_tcp.moc"
