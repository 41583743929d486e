// A panel's own requests reach its sensor by the id byte the sensor sends in its frames, neither
// 0x01 nor the worker's own target byte: on a bridge and on a serial line, two sensors with ids of
// their own each fill their panel from their answers.

#include "class_uart.h"
#include "fingerForm.h"
#include "orvalisForm.h"
#include "ptyPair.h"
#include "serialSensorPeer.h"
#include "simBus.h"
#include "testMain.h"
#include "ui_fingerForm.h"
#include "ui_orvalisForm.h"
#include "workerHarness.h"

#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <memory>

namespace {

constexpr int kFoundMs = 30000;
// On a serial line, a probe that the test's peer, held up on a busy machine, answers too late
// finds nothing; the probe walk comes back to that address after every other one, some 11 000
// ticks later.
constexpr int kFoundOnSerialMs = 120000;
constexpr int kAnsweredMs = 15000;

struct Sensor {
    int channel;  // on a bridge; on a serial line every sensor gets the channel the tick is on
    uint8_t addr;
    uint8_t prg;
    uint8_t id;
    const char* serial;
};

fingerForm* panelAt(QMdiArea* area, uint8_t addr)
{
    for (QMdiSubWindow* sub : area->subWindowList())
        if (sub->objectName().endsWith(QString::asprintf("-0x%02X", addr)))
            return qobject_cast<fingerForm*>(sub->widget());
    return nullptr;
}

const Sensor kSensors[] = {{0, 0x61, 20, 0x2B, "VX-ID-2B"}, {3, 0x62, 43, 0x11, "VX-ID-11"}};

}  // namespace

class TestPanelById : public QObject {
    Q_OBJECT
private slots:
    void cleanup();
    void firstReadsAnswered_data();
    void firstReadsAnswered();

private:
    std::unique_ptr<orvalisForm> view;
    std::unique_ptr<SerialSensorPeer> peer;
    std::unique_ptr<PtyPair> pty;
};

void TestPanelById::cleanup()
{
    view.reset();
    peer.reset();
    pty.reset();
    class_uart::setExtraPortNames({});
    sim::reset();
}

void TestPanelById::firstReadsAnswered_data()
{
    QTest::addColumn<bool>("onSerial");
    QTest::newRow("bridge") << false;
    QTest::newRow("serial line") << true;
}

void TestPanelById::firstReadsAnswered()
{
    QFETCH(bool, onSerial);
    QString device = QString::number(workerWorld::kBridgeId);
    if (onSerial) {
        sim::reset();  // no bridge
        pty = std::make_unique<PtyPair>();
        QVERIFY(pty->isOpen());
        peer = std::make_unique<SerialSensorPeer>(*pty);
        for (const Sensor& s : kSensors) {
            SerialSensorPeer::Sensor p;
            p.addr = s.addr;
            p.prg = s.prg;
            p.id = s.id;
            p.serial = s.serial;
            p.framePeriodMs = 5;
            QVERIFY(peer->addSensor(p) >= 0);
        }
        peer->start();
        class_uart::setExtraPortNames({pty->slavePath()});
        device = pty->slavePath();
    } else {
        const int bridge = workerWorld::freshBridge();
        for (const Sensor& s : kSensors)
            QVERIFY(workerWorld::addSensor(bridge, s.channel, s.addr, s.prg, s.id, 5, s.serial) >= 0);
    }

    view = std::make_unique<orvalisForm>();
    view->show();
    if (onSerial)
        view->ui->cbbSensorInf->setCurrentIndex(0);  // the view restarts its worker on the serial link
    else
        view->start();
    QTRY_VERIFY_WITH_TIMEOUT(view->ui->cbbCh341List->findText(device) >= 0, 5000);
    view->ui->cbbCh341List->setCurrentIndex(view->ui->cbbCh341List->findText(device));
    QTest::mouseClick(view->ui->pbtnCh341Connect, Qt::LeftButton);
    const int foundMs = onSerial ? kFoundOnSerialMs : kFoundMs;
    QTRY_COMPARE_WITH_TIMEOUT(view->mdiArea->subWindowList().size(), int(std::size(kSensors)), foundMs);

    for (const Sensor& s : kSensors) {
        fingerForm* panel = panelAt(view->mdiArea, s.addr);
        QVERIFY2(panel, s.serial);
        QCOMPARE(panel->devId, s.id);
        // The type and serial-number reads are the panel's own, with the id in byte 2.
        QTRY_COMPARE_WITH_TIMEOUT(panel->ui->lbSN->text(), QString(s.serial), kAnsweredMs);
        QTRY_VERIFY_WITH_TIMEOUT(!panel->ui->lbVersion->text().isEmpty(), kAnsweredMs);
        if (!onSerial) {
            // The simulated sensor keeps thresholds of its own: 100 on channel 0.
            QTRY_VERIFY_WITH_TIMEOUT(qobject_cast<QLineEdit*>(panel->ui->tbwThreshold->cellWidget(0, 0)), kAnsweredMs);
            QCOMPARE(qobject_cast<QLineEdit*>(panel->ui->tbwThreshold->cellWidget(0, 0))->text(), QString("100"));
            QCOMPARE(panel->ui->lbVersion->text(), QString("1.3.0"));
        }
    }
}

TACTILE_TEST_MAIN(TestPanelById)
#include "tst_panelById.moc"
