// The firmware tab's link control on the simulated bridges and a pseudo-terminal: adapters per
// chosen interface, device lists, the bridges' connection steps, the multiplexer choice kept
// across visits, and the serial rescan.

#include "fwUpdateForm.h"
#include "ptyPair.h"
#include "simBus.h"
#include "testMain.h"
#include "ui_fwUpdateForm.h"

#include <QSignalSpy>

namespace {

constexpr uint16_t kCh341Id = 6002;
constexpr uint16_t kCh347Id = 7;
constexpr int kListWaitMs = 10000;  // a list comes 100 ms, a rescan 500 ms after its cause

QStringList items(const QComboBox* combo)
{
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i)
        texts << combo->itemText(i);
    return texts;
}

}  // namespace

class tst_fwLink : public QObject {
    Q_OBJECT

private:
    int ch341Bridge = -1;
    int ch347Bridge = -1;

    QRadioButton* radio(fwUpdateForm& f, const QString& kind)
    {
        return kind == "CH341" ? f.ui->rbtnIIC : kind == "CH347" ? f.ui->rbtnIICCh347 : f.ui->rbtnUart;
    }

    // Chooses an interface as a click of the user does.
    void choose(fwUpdateForm& f, const QString& kind) { radio(f, kind)->click(); }

private slots:
    void init()
    {
        sim::reset();
        sim::BridgeConfig b;
        b.id = kCh341Id;
        ch341Bridge = sim::addBridge(b);
        b.kind = sim::BridgeKind::Ch347;
        b.id = kCh347Id;
        ch347Bridge = sim::addBridge(b);
        class_uart::setExtraPortNames({});
    }

    void formAsBuilt()
    {
        fwUpdateForm f;
        QVERIFY(f.ui->rbtnIIC->isChecked());
        QVERIFY(!f.ui->rbtnIICCh347->isChecked() && !f.ui->rbtnUart->isChecked());
        QCOMPARE(f.ui->cbbInfIdx->currentText(), QString("转接板-1(PCA9548-4)"));
        QCOMPARE(f.ui->cbbInfIdx->count(), 14);
        QCOMPARE(f.ui->cbbResetCmd->currentText(), QString("默认"));
        for (QSpinBox* box : {f.ui->spbUpdateAddr, f.ui->spbResetAddr}) {
            QCOMPARE(box->displayIntegerBase(), 16);
            QCOMPARE(box->prefix(), QString("0x"));
            QCOMPARE(box->maximum(), 0x6F);
            box->setValue(0x6F);
            QCOMPARE(box->text(), QString("0x6f"));
        }
        QCOMPARE(f.font().pointSize(), 12);
        QVERIFY(!f.ch341 && !f.ch347 && !f.uart);
    }

    // Each choice fills the combos its way and leaves exactly one adapter, of its own kind.
    void interfaceChoice_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("speedShown");
        QTest::addColumn<QStringList>("argItems");
        QTest::addColumn<bool>("editable");
        QStringList pca = {"无PCA9548", "转接板-1(PCA9548-4)", "转接板-2(PCA9548-5)", "转接板-3(PCA9548-6)",
                           "转接板-4(PCA9548-3)", "转接板-5(PCA9548-2)"};
        for (int i = 0; i < 8; ++i)
            pca << QString("PCA9548-%1").arg(i);
        QTest::newRow("CH341") << "CH341" << true << pca << false;
        QTest::newRow("CH347") << "CH347" << true << pca << false;
        QTest::newRow("serial") << "serial" << false << QStringList{"115200", "460800", "921600"} << true;
    }
    void interfaceChoice()
    {
        QFETCH(QString, kind);
        QFETCH(bool, speedShown);
        QFETCH(QStringList, argItems);
        QFETCH(bool, editable);
        PtyPair pty;
        class_uart::setExtraPortNames({pty.slavePath()});
        fwUpdateForm f;
        f.start();
        choose(f, "serial");  // hides the speed choice; a bridge choice shows it again
        choose(f, kind);
        QCOMPARE(!f.ui->cbbIICSpeed->isHidden(), speedShown);
        if (speedShown)
            QCOMPARE(items(f.ui->cbbIICSpeed), QStringList({"100k", "400k"}));
        QCOMPARE(items(f.ui->cbbInfIdx), argItems);
        QCOMPARE(f.ui->cbbInfIdx->isEditable(), editable);
        QVERIFY(!f.ui->spbUpdateAddr->isHidden());
        QCOMPARE(f.findChildren<class_ch341*>().size(), kind == "CH341" ? 1 : 0);
        QCOMPARE(f.findChildren<class_ch347*>().size(), kind == "CH347" ? 1 : 0);
        QCOMPARE(f.findChildren<class_uart*>().size(), kind == "serial" ? 1 : 0);
        const QString device = kind == "CH341" ? "6002" : kind == "CH347" ? "7" : pty.slavePath();
        QTRY_VERIFY_WITH_TIMEOUT(items(f.ui->cbbUpdateDevList).contains(device), kListWaitMs);

        f.stop();
        QVERIFY(f.findChildren<class_ch341*>().isEmpty());
        QVERIFY(f.findChildren<class_ch347*>().isEmpty());
        QVERIFY(f.findChildren<class_uart*>().isEmpty());
        QVERIFY(!f.ch341 && !f.ch347 && !f.uart);
    }

    // A click on the chosen radio closes and replaces its adapter: never two of one kind.
    void reclickKeepsOneAdapter()
    {
        fwUpdateForm f;
        f.start();
        QTRY_COMPARE_WITH_TIMEOUT(f.ui->cbbUpdateDevList->currentText(), QString("6002"), kListWaitMs);
        QVERIFY(f.ch341->open(kCh341Id));
        choose(f, "CH341");
        QCOMPARE(f.findChildren<class_ch341*>().size(), 1);
        QVERIFY(!sim::isDeviceOpen(ch341Bridge));
        QVERIFY(!f.ch341->isOpen());
        // The fresh adapter opens the bridge its predecessor let go.
        QTRY_COMPARE_WITH_TIMEOUT(f.ui->cbbUpdateDevList->currentText(), QString("6002"), kListWaitMs);
        QVERIFY(f.ch341->open(kCh341Id));
    }

    // Connecting a CH347 sets the speed and stretching and pulses the reset line twice (once on
    // its own, once in the multiplexer reset), then opens no multiplexer channel.
    void ch347ConnectionSteps_data()
    {
        QTest::addColumn<int>("speedIndex");
        QTest::addColumn<int>("mode");
        QTest::newRow("100k") << 0 << 1;
        QTest::newRow("400k") << 1 << 2;
    }
    void ch347ConnectionSteps()
    {
        QFETCH(int, speedIndex);
        QFETCH(int, mode);
        fwUpdateForm f;
        f.start();
        choose(f, "CH347");
        f.ui->cbbIICSpeed->setCurrentIndex(speedIndex);
        QTRY_COMPARE_WITH_TIMEOUT(f.ui->cbbUpdateDevList->currentText(), QString("7"), kListWaitMs);
        QVERIFY(f.ch347->open(kCh347Id));  // the steps run inside open()
        QCOMPARE(sim::streamMode(ch347Bridge), uint32_t(mode));
        QVERIFY(sim::clockStretch(ch347Bridge));
        QCOMPARE(sim::pcaResetCount(ch347Bridge), 2);
        QVERIFY(!sim::pcaResetLineLow(ch347Bridge));
        QCOMPARE(sim::pcaControl(ch347Bridge), 0);
        QCOMPARE(sim::packetLog(ch347Bridge).last(), QByteArray::fromHex("e000"));
    }

    void ch341ConnectionSteps()
    {
        fwUpdateForm f;
        f.start();
        f.ui->cbbIICSpeed->setCurrentIndex(1);
        QTRY_COMPARE_WITH_TIMEOUT(f.ui->cbbUpdateDevList->currentText(), QString("6002"), kListWaitMs);
        QVERIFY(f.ch341->open(kCh341Id));
        QCOMPARE(sim::streamMode(ch341Bridge), 2u);
        QCOMPARE(sim::pcaResetCount(ch341Bridge), 1);
        QVERIFY(!sim::pcaResetLineLow(ch341Bridge));
        QCOMPARE(sim::pcaControl(ch341Bridge), 0);
    }

    // The speed follows the combo on an open CH341; a closed one or a CH347 keeps its mode.
    void speedChangeWhileConnected()
    {
        fwUpdateForm f;
        f.start();
        f.ui->cbbIICSpeed->setCurrentIndex(0);
        QTRY_COMPARE_WITH_TIMEOUT(f.ui->cbbUpdateDevList->count(), 1, kListWaitMs);
        QVERIFY(f.ch341->open(kCh341Id));
        QCOMPARE(sim::streamMode(ch341Bridge), 1u);
        f.ui->cbbIICSpeed->setCurrentIndex(1);
        QCOMPARE(sim::streamMode(ch341Bridge), 2u);
        QCOMPARE(f.ch341->speedMode, uint8_t(2));

        choose(f, "CH347");
        QTRY_COMPARE_WITH_TIMEOUT(f.ui->cbbUpdateDevList->count(), 1, kListWaitMs);
        QVERIFY(f.ch347->open(kCh347Id));
        QCOMPARE(sim::streamMode(ch347Bridge), 1u);
        f.ui->cbbIICSpeed->setCurrentIndex(1);
        QCOMPARE(sim::streamMode(ch347Bridge), 1u);
    }

    // The multiplexer choice survives a visit elsewhere when a bridge was chosen on leaving.
    void multiplexerChoiceKept()
    {
        {
            fwUpdateForm f;  // never left: the first visit shows pcaIdx 0
            f.start();
            QCOMPARE(f.ui->cbbInfIdx->currentText(), QString("无PCA9548"));
        }
        fwUpdateForm f;
        f.stop();  // as the main window does before the first visit: keeps the form's index 1
        QCOMPARE(f.pcaIdx, uint8_t(1));
        f.start();
        QCOMPARE(f.ui->cbbInfIdx->currentText(), QString("转接板-1(PCA9548-4)"));
        f.ui->cbbInfIdx->setCurrentIndex(3);
        f.stop();
        f.start();
        QCOMPARE(f.ui->cbbInfIdx->currentIndex(), 3);
        choose(f, "CH347");
        QCOMPARE(f.ui->cbbInfIdx->currentIndex(), 3);
        choose(f, "serial");
        f.stop();  // serial chosen: the earlier choice stays
        QCOMPARE(f.pcaIdx, uint8_t(3));
        choose(f, "CH341");
        QCOMPARE(f.ui->cbbInfIdx->currentIndex(), 3);
    }

    // A list equal to the items leaves the selection alone; another kind's list is ignored.
    void deviceListRefresh()
    {
        sim::BridgeConfig b;
        b.id = 6003;
        QVERIFY(sim::addBridge(b) >= 0);
        fwUpdateForm f;
        f.start();
        QTRY_COMPARE_WITH_TIMEOUT(items(f.ui->cbbUpdateDevList), QStringList({"6002", "6003"}), kListWaitMs);
        f.ui->cbbUpdateDevList->setCurrentIndex(1);
        emit f.ch341->si_updateList({6002, 6003});
        QCOMPARE(f.ui->cbbUpdateDevList->currentIndex(), 1);

        // The CH347 radio checked without its click: the CH341 adapter is still there, but its
        // lists no longer belong to the combo.
        f.ui->rbtnIICCh347->setChecked(true);
        emit f.ch341->si_updateList({1234});
        QCOMPARE(items(f.ui->cbbUpdateDevList), QStringList({"6002", "6003"}));
        f.ui->rbtnIIC->setChecked(true);
        emit f.ch341->si_updateList({1234});
        QCOMPARE(items(f.ui->cbbUpdateDevList), QStringList({"1234"}));
    }

    // Serial ports are listed every 500 ms while the port is closed, never while it is open.
    void serialRescanOnlyWhileClosed()
    {
        PtyPair pty;
        QVERIFY(pty.isOpen());
        fwUpdateForm f;
        f.start();
        choose(f, "serial");
        QSignalSpy scans(f.uart.data(), &class_uart::si_scanEnd);
        class_uart::setExtraPortNames({pty.slavePath()});  // a port plugged in later is found
        QTRY_VERIFY_WITH_TIMEOUT(items(f.ui->cbbUpdateDevList).contains(pty.slavePath()), kListWaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(scans.count() >= 2, kListWaitMs);

        QVERIFY(f.uart->open(pty.slavePath(), 115200));
        const int before = scans.count();
        // The rescan armed before the open runs out on the open port: no listing, none armed.
        QVERIFY(f.rescanPending());
        QTRY_VERIFY_WITH_TIMEOUT(!f.rescanPending(), kListWaitMs);
        QCOMPARE(scans.count(), before);

        choose(f, "serial");  // choosing serial again starts the listing anew
        QSignalSpy fresh(f.uart.data(), &class_uart::si_scanEnd);
        QTRY_VERIFY_WITH_TIMEOUT(fresh.count() >= 1, kListWaitMs);
    }

    // Writes and reads go to the chosen link only; a missing adapter is nothing written or read.
    void writeAndReadFollowTheRadios()
    {
        fwUpdateForm f;
        f.start();
        QTRY_COMPARE_WITH_TIMEOUT(f.ui->cbbUpdateDevList->count(), 1, kListWaitMs);
        QVERIFY(f.ch341->open(kCh341Id));
        f.sensorWrite(0x70, QByteArray::fromHex("2010"), 1);  // a length within the data
        QCOMPARE(sim::pcaControl(ch341Bridge), 0x20);
        QByteArray back("x");
        f.sensorRead(0x70, &back, 1, 100);
        QCOMPARE(back, QByteArray::fromHex("7820"));

        f.ui->rbtnIICCh347->setChecked(true);  // no CH347 adapter exists
        f.sensorWrite(0x70, QByteArray(1, char(0x40)), 1);
        QByteArray none;
        f.sensorRead(0x70, &none, 1, 100);
        QVERIFY(none.isEmpty());
        QCOMPARE(sim::pcaControl(ch341Bridge), 0x20);
        f.pcaReset();  // nothing to reset on a missing adapter either
        QCOMPARE(sim::pcaResetCount(ch341Bridge), 1);
    }
};

TACTILE_TEST_MAIN(tst_fwLink)
#include "tst_fwLink.moc"
