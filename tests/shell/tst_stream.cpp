// The waveform stream: the two sample formats byte for byte, their way to a loopback viewer, the
// choice of the source panel, and a source panel that goes.

#include "class_finger.h"
#include "class_settings.h"
#include "class_tcp.h"
#include "fingerForm.h"
#include "orvalisForm.h"
#include "testMain.h"
#include "ui_orvalisForm.h"
#include "waveformStream.h"

#include <QElapsedTimer>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

namespace {

// A model view reduced to its decoder lists, held by a panel like a real view.
class ListView : public QWidget, public class_finger {
public:
    explicit ListView(QWidget* parent = nullptr) : QWidget(parent), class_finger(kUnknownType, this) {}
};

struct Lists {
    QVector<QString> channels;
    QVector<class_finger::ydds_str_ts> points;
    QVector<QString> sProx;
    QVector<QString> mProx;
    QVector<QString> status;
};

void fill(class_finger& ff, const Lists& lists)
{
    ff.chDataList = lists.channels;
    ff.yddsList = lists.points;
    ff.sProxList = lists.sProx;
    ff.mProxList = lists.mProx;
    ff.statusList = lists.status;
}

// Two channels 12 and -3, optionally a status 1: the examples of the stream's documentation.
Lists twoChannels(bool withStatus)
{
    Lists l;
    l.channels = {"12", "-3"};
    if (withStatus)
        l.status = {"1"};
    return l;
}

// The bytes the peer receives within the time; stops early once `expected` bytes came.
QByteArray receive(QTcpSocket* peer, int expected, int timeoutMs = 2000)
{
    QByteArray got;
    QElapsedTimer t;
    t.start();
    while (got.size() < expected && t.elapsed() < timeoutMs) {
        QCoreApplication::processEvents();
        if (peer->bytesAvailable() || peer->waitForReadyRead(20))
            got += peer->readAll();
    }
    return got;
}

QByteArray fromHex(const char* hex) { return QByteArray::fromHex(hex); }

}  // namespace

Q_DECLARE_METATYPE(Lists)

class TestStream : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void sample_data();
    void sample();
    void longListsAreNotCut();

    void viewerReceivesSample_data();
    void viewerReceivesSample();
    void sourceFollowsActivePanel();
    void closedPanelStopsStream();
    void panelWithoutViewKeepsLastSource();
    void nothingBeforeAnyPanelWasActive();

    void freshSystemShowsEmptyServer();
    void connectStoresServerAndButtonFollowsSocket();
    void refusedServerKeepsConnect();

private:
    // A panel with a list view in a sub-window of the view, as the view names them.
    QPointer<fingerForm> addPanel(uint8_t infIdx, uint8_t addr, const Lists& lists);
    void connectViewer();

    std::unique_ptr<orvalisForm> view;
    std::unique_ptr<QTcpServer> server;
    QPointer<QTcpSocket> peer;
};

void TestStream::init()
{
    WarningRecorder::clear();
    QFile::remove(class_settings::filePath(QString()));
    view = std::make_unique<orvalisForm>();
    view->resize(900, 500);
    view->show();
    QVERIFY(QTest::qWaitForWindowExposed(view.get()));
    server = std::make_unique<QTcpServer>();
    QVERIFY(server->listen(QHostAddress::LocalHost, 0));
}

void TestStream::cleanup()
{
    view.reset();
    server.reset();
    QVERIFY(WarningRecorder::warnings().isEmpty());
}

QPointer<fingerForm> TestStream::addPanel(uint8_t infIdx, uint8_t addr, const Lists& lists)
{
    const QString name = orvalisForm::windowName(infIdx, addr);
    auto* sub = new QMdiSubWindow(view->mdiArea);
    sub->setObjectName(name);
    auto* panel = new fingerForm(infIdx, addr, sub);
    panel->setObjectName(name);
    auto* list = new ListView(panel);
    fill(*list, lists);
    panel->ff = list;
    sub->setWidget(panel);
    view->mdiArea->addSubWindow(sub);
    sub->show();
    view->mdiArea->setActiveSubWindow(sub);
    return panel;
}

void TestStream::connectViewer()
{
    view->ui->leServiceAddr->setText("127.0.0.1");
    view->ui->spbServicePort->setValue(server->serverPort());
    QTest::mouseClick(view->ui->pbtnServiceConnect, Qt::LeftButton);
    QTRY_COMPARE(view->ui->pbtnServiceConnect->text(), QString("断开"));
    QTRY_VERIFY(server->hasPendingConnections());
    peer = server->nextPendingConnection();
    QVERIFY(peer);
}

// The sample tables of both formats; the form offers only these two.
static void addFormatRows()
{
    QTest::addColumn<Lists>("lists");
    QTest::addColumn<int>("format");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("FireWater two channels") << twoChannels(false) << 0 << QByteArray("12,-3\r\n");
    QTest::newRow("FireWater with status") << twoChannels(true) << 0 << QByteArray("12,-3,1\r\n");
    QTest::newRow("JustFloat two channels") << twoChannels(false) << 1 << fromHex("00004041000040c00000807f");
    QTest::newRow("JustFloat with status")
        << twoChannels(true) << 1 << fromHex("00004041000040c00000803f0000807f");
    QTest::newRow("FireWater empty") << Lists{} << 0 << QByteArray("\r\n");
    QTest::newRow("JustFloat empty") << Lists{} << 1 << fromHex("0000807f");

    // Stream order: channels, each point's normal, tangential, direction, self, mutual, status.
    Lists all;
    all.channels = {"5"};
    all.points = {{"0.50", "1.25", "90"}, {"2.00", "0.00", "360"}};
    all.sProx = {"7"};
    all.mProx = {"8", "9"};
    all.status = {"0", "ignored"};
    QTest::newRow("FireWater every list")
        << all << 0 << QByteArray("5,0.50,1.25,90,2.00,0.00,360,7,8,9,0\r\n");
    QTest::newRow("JustFloat every list")
        << all << 1
        << fromHex("0000a040" "0000003f0000a03f0000b442" "00000040000000000000b443"
                   "0000e040" "0000004100001041" "00000000" "0000807f");

    Lists odd;
    odd.channels = {"x", "", "1e3"};
    QTest::newRow("FireWater keeps texts as they are") << odd << 0 << QByteArray("x,,1e3\r\n");
    QTest::newRow("JustFloat reads no number as 0")
        << odd << 1 << fromHex("00000000" "00000000" "00007a44" "0000807f");
}

void TestStream::sample_data()
{
    addFormatRows();
    QTest::newRow("unknown format sends nothing") << twoChannels(true) << 2 << QByteArray();
}

void TestStream::sample()
{
    QFETCH(Lists, lists);
    QFETCH(int, format);
    QFETCH(QByteArray, bytes);
    ListView ff;
    fill(ff, lists);
    QCOMPARE(waveformStream::sample(ff, format).toHex(), bytes.toHex());
}

void TestStream::longListsAreNotCut()
{
    // More entries than an 8-bit index can walk.
    ListView ff;
    for (int i = 0; i < 300; ++i)
        ff.chDataList << QString::number(i);
    const QByteArray line = waveformStream::sample(ff, waveformStream::FireWater);
    QVERIFY(line.endsWith(",298,299\r\n"));
    QCOMPARE(line.count(','), 299);
    QCOMPARE(waveformStream::sample(ff, waveformStream::JustFloat).size(), 4 * 300 + 4);
}

void TestStream::viewerReceivesSample_data()
{
    addFormatRows();
}

void TestStream::viewerReceivesSample()
{
    QFETCH(Lists, lists);
    QFETCH(int, format);
    QFETCH(QByteArray, bytes);
    addPanel(0, 0x60, lists);
    view->ui->cbbTcpDataFormat->setCurrentIndex(format);
    connectViewer();

    view->tcpSend();
    view->tcpSend();
    QByteArray twice = bytes + bytes;
    QCOMPARE(receive(peer, twice.size()).toHex(), twice.toHex());
}

void TestStream::sourceFollowsActivePanel()
{
    Lists a;
    a.channels = {"1"};
    Lists b;
    b.channels = {"2"};
    addPanel(0, 0x60, a);
    QPointer<fingerForm> second = addPanel(1, 0x60, b);
    connectViewer();

    view->tcpSend();
    QCOMPARE(receive(peer, 3), QByteArray("2\r\n"));

    // Switching while the stream is off switches the source with the next sample too.
    QMdiSubWindow* first = view->mdiArea->subWindowList(QMdiArea::CreationOrder).first();
    view->mdiArea->setActiveSubWindow(first);
    view->tcpSend();
    QCOMPARE(receive(peer, 3), QByteArray("1\r\n"));

    // No active sub-window: the last source goes on.
    view->mdiArea->setActiveSubWindow(nullptr);
    QVERIFY(!view->mdiArea->activeSubWindow());
    view->tcpSend();
    QCOMPARE(receive(peer, 3), QByteArray("1\r\n"));
    QVERIFY(second);
}

void TestStream::closedPanelStopsStream()
{
    Lists a;
    a.channels = {"1"};
    Lists b;
    b.channels = {"2"};
    QPointer<fingerForm> first = addPanel(0, 0x60, a);
    connectViewer();
    view->tcpSend();
    QCOMPARE(receive(peer, 3), QByteArray("1\r\n"));

    // The user closes the source panel's window: the panel deletes itself.
    view->mdiArea->activeSubWindow()->close();
    QTRY_VERIFY(!first);
    for (int i = 0; i < 3; ++i)
        view->tcpSend();
    QCOMPARE(receive(peer, 1, 300), QByteArray());

    // Another panel becomes active: the stream resumes with its values.
    addPanel(1, 0x61, b);
    view->tcpSend();
    QCOMPARE(receive(peer, 3), QByteArray("2\r\n"));
}

void TestStream::panelWithoutViewKeepsLastSource()
{
    Lists a;
    a.channels = {"1"};
    QPointer<fingerForm> first = addPanel(0, 0x60, a);
    QPointer<fingerForm> second = addPanel(1, 0x60, Lists{});
    // The active panel has lost its view: the source stays the one it was.
    second->sl_reset(1, 0x60);
    QVERIFY(!second->ff);
    view->mdiArea->setActiveSubWindow(view->mdiArea->subWindowList(QMdiArea::CreationOrder).first());
    connectViewer();
    view->tcpSend();
    QCOMPARE(receive(peer, 3), QByteArray("1\r\n"));

    view->mdiArea->setActiveSubWindow(view->mdiArea->subWindowList(QMdiArea::CreationOrder).last());
    view->tcpSend();
    QCOMPARE(receive(peer, 3), QByteArray("1\r\n"));

    // The source itself loses its view: nothing is read from it any more.
    first->sl_reset(0, 0x60);
    view->tcpSend();
    QCOMPARE(receive(peer, 1, 300), QByteArray());
}

void TestStream::nothingBeforeAnyPanelWasActive()
{
    connectViewer();
    view->tcpSend();
    QCOMPARE(receive(peer, 1, 300), QByteArray());
}

void TestStream::freshSystemShowsEmptyServer()
{
    QCOMPARE(view->ui->leServiceAddr->text(), QString());
    QCOMPARE(view->ui->spbServicePort->value(), 0);
    QCOMPARE(view->ui->pbtnServiceConnect->text(), QString("连接"));
    QCOMPARE(view->ui->cbbTcpDataFormat->currentIndex(), 0);
}

void TestStream::connectStoresServerAndButtonFollowsSocket()
{
    connectViewer();
    QCOMPARE(class_settings::get("TCP/IP", "none"), QString("127.0.0.1"));
    QCOMPARE(class_settings::get("TCP/PORT", "none"), QString::number(server->serverPort()));

    // Pressing again closes at once.
    QTest::mouseClick(view->ui->pbtnServiceConnect, Qt::LeftButton);
    QCOMPARE(view->ui->pbtnServiceConnect->text(), QString("连接"));
    QCOMPARE(int(view->tcp->isConnected), 0);
    QTRY_COMPARE(peer->state(), QAbstractSocket::UnconnectedState);

    // The viewer closing its end turns the button back as well.
    connectViewer();
    peer->disconnectFromHost();
    QTRY_COMPARE(view->ui->pbtnServiceConnect->text(), QString("连接"));

    // A new view shows what was stored.
    orvalisForm again;
    QCOMPARE(again.ui->leServiceAddr->text(), QString("127.0.0.1"));
    QCOMPARE(again.ui->spbServicePort->value(), int(server->serverPort()));
}

void TestStream::refusedServerKeepsConnect()
{
    const quint16 port = server->serverPort();
    server->close();
    view->ui->leServiceAddr->setText("127.0.0.1");
    view->ui->spbServicePort->setValue(port);
    QElapsedTimer t;
    t.start();
    QTest::mouseClick(view->ui->pbtnServiceConnect, Qt::LeftButton);
    // The attempt waits a bounded time; one that holds the window ten times that long hangs.
    QVERIFY2(t.elapsed() < 10 * orvalisForm::kServerConnectWaitMs, qPrintable(QString("held %1 ms").arg(t.elapsed())));
    QTest::qWait(100);
    QCOMPARE(view->ui->pbtnServiceConnect->text(), QString("连接"));
    QCOMPARE(int(view->tcp->isConnected), 0);
    // Stored before the attempt, whatever its outcome.
    QCOMPARE(class_settings::get("TCP/PORT", "none"), QString::number(port));
}

TACTILE_TEST_MAIN(TestStream)
#include "tst_stream.moc"
