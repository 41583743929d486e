// The firmware tab before the transfer: loading and preparing the file, the reset frame on each
// link, the multiplexer check of the start button, its refusals, the file choice and its setting,
// and the English texts.

#include "class_settings.h"
#include "logRecorder.h"
#include "ptyPair.h"
#include "serialBootPeer.h"
#include "tst_fwFixture.h"
#include "ui_fwUpdateForm.h"  // generated for this test; the fixture reads the form

#include <QElapsedTimer>
#include <QLineEdit>
#include <QThread>
#include <QTranslator>
#include <memory>

using namespace fwFixture;

namespace {

const QByteArray kDefaultReset = QByteArray::fromHex("aa5500a10000000000a001");

}  // namespace

class tst_fwUpdateTab : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir;
    World world;

    // Starts a run whose file cannot be loaded.
    void startWithoutFile(fwUpdateForm& f)
    {
        f.ui->leUpdateFilePath->setText(dir.filePath("missing.bin"));
        f.ui->pbtnUpdateStart->click();
    }

    // Starts a run of a file that loads: the reset step has gone out when the click returns, and
    // the transfer waits for its first poll.
    void startWithFile(fwUpdateForm& f)
    {
        f.ui->leUpdateFilePath->setText(writeFile(dir, "app.bin", sourceImage(100)));
        f.ui->pbtnUpdateStart->click();
        QCOMPARE(f.ui->pbtnUpdateStart->text(), QString("停止"));
    }

private slots:
    void init()
    {
        world = freshWorld();
        class_uart::setExtraPortNames({});
        WarningRecorder::clear();
    }

    void loadAppFile_data();
    void loadAppFile();
    void loadFailureSendsNothing_data();
    void loadFailureSendsNothing();
    void successText_data();
    void successText();
    void addressBoxShowsNoValue_data();
    void addressBoxShowsNoValue();
    void bridgeResetFrame_data();
    void bridgeResetFrame();
    void serialResetAtEveryRate();
    void shortCustomFrameOnSerial();
    void noResetFrame();
    void multiplexerItemPasses();
    void multiplexerCheckFails_data();
    void multiplexerCheckFails();
    void noMultiplexerGoesOn();
    void nothingChosen_data();
    void nothingChosen();
    void openFails();
    void fileChoice();
    void englishTexts();
};

void tst_fwUpdateTab::loadAppFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("merge");
    QTest::addColumn<int>("result");
    QTest::addColumn<QByteArray>("image");  // hexadecimal; "same" for the content itself
    QTest::addColumn<QString>("text");
    const QByteArray zeros10(10, '\0');
    QTest::newRow("missing") << "" << QByteArray() << false << -1 << QByteArray() << "";
    QTest::newRow("a directory") << "sub" << QByteArray() << false << -2 << QByteArray() << "文件打开失败";
    QTest::newRow("empty") << "empty.bin" << QByteArray() << false << -3 << QByteArray() << "用户程序文件为空文件";
    QTest::newRow("bad HEX") << "bad.hex" << QByteArray(":0400000001020304F3\r\n") << false << -3 << QByteArray()
                             << "用户程序文件为空文件";
    QTest::newRow("app.HEX read as HEX") << "app.HEX" << hexFileOf(QByteArray::fromHex("0102030405"))
                                         << false << 0 << QByteArray("0102030405") << "";
    QTest::newRow("app.bin read raw") << "app.bin" << QByteArray(":00000001FF") << false << 0
                                      << QByteArray(":00000001FF").toHex() << "";
    QTest::newRow("10 bytes merged") << "app.bin" << zeros10 << true << 0 << QByteArray("b7d2913cb7d2913c0000") << "";
    QTest::newRow("10 bytes plain") << "app.bin" << zeros10 << false << 0 << zeros10.toHex() << "";
    QTest::newRow("8 bytes padded") << "app.bin" << QByteArray(8, '\0') << false << 0
                                    << QByteArray("0000000000000000ffffffffffffffff") << "";
    QTest::newRow("8 bytes padded, merged") << "app.bin" << QByteArray(8, '\0') << true << 0
                                            << QByteArray("b7d2913cb7d2913c482d6ec3482d6ec3") << "";
    QTest::newRow("3 bytes merged stay") << "app.bin" << QByteArray::fromHex("010203") << true << 0
                                         << QByteArray("010203") << "";
    // 1000 bytes become 1008, the eight 0xFF merged with the rest; 1001 bytes stay as they are.
    const QByteArray padded = sourceImage(1000) + QByteArray(8, char(0xFF));
    QTest::newRow("1000 bytes") << "app.bin" << sourceImage(1000) << false << 0 << padded.toHex() << "";
    QTest::newRow("1000 bytes merged") << "app.bin" << sourceImage(1000) << true << 0 << unmerged(padded).toHex()
                                       << "";
    QTest::newRow("1001 bytes") << "app.bin" << sourceImage(1001) << false << 0 << sourceImage(1001).toHex() << "";
}

void tst_fwUpdateTab::loadAppFile()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(bool, merge);
    QFETCH(int, result);
    QFETCH(QByteArray, image);
    QFETCH(QString, text);
    QString path = dir.filePath("nothing-here.bin");
    if (name == "sub") {
        QDir(dir.path()).mkpath("sub");
        path = dir.filePath("sub");
    } else if (!name.isEmpty()) {
        path = writeFile(dir, name, content);
    }
    fwUpdateForm f;
    QString gotName = "kept:";
    QByteArray gotImage = "kept:";
    QCOMPARE(f.loadAppFile(path, merge, &gotName, &gotImage), result);
    QCOMPARE(f.ui->lbRes->text(), text);
    if (result != 0) {
        QCOMPARE(gotImage, QByteArray("kept:"));
        return;
    }
    QCOMPARE(gotName, "kept:" + name);  // appended: the bare file name
    QCOMPARE(gotImage.mid(5).toHex(), image);
}

void tst_fwUpdateTab::loadFailureSendsNothing_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    const QByteArray badSum = ":0400000001020304F3\r\n" + hexRecord(1, 0, {}) + "\r\n";  // F2 is right
    for (const char* kind : {"CH341", "CH347", "serial"}) {
        QTest::addRow("%s missing", kind) << kind << "" << QByteArray();
        QTest::addRow("%s empty .bin", kind) << kind << "empty.bin" << QByteArray();
        QTest::addRow("%s empty .hex", kind) << kind << "empty.hex" << QByteArray();
        QTest::addRow("%s garbage .hex", kind) << kind << "garbage.hex" << QByteArray("not a hex file\r\n");
        QTest::addRow("%s bad checksum .hex", kind) << kind << "badsum.hex" << badSum;
    }
}

// The file is loaded before anything goes to the sensor: one that fails leaves it as it was.
void tst_fwUpdateTab::loadFailureSendsNothing()
{
    QFETCH(QString, kind);
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    std::unique_ptr<PtyPair> pty;
    if (kind == "serial") {
        pty = std::make_unique<PtyPair>();
        class_uart::setExtraPortNames({pty->slavePath()});
    }
    fwUpdateForm f;
    QVERIFY(chooseDevice(f, kind, pty ? pty->slavePath() : QString()));
    f.ui->spbResetAddr->setValue(kSensorAddr);
    f.ui->spbUpdateAddr->setValue(kSensorAddr);
    f.ui->leUpdateFilePath->setText(name.isEmpty() ? dir.filePath("missing.bin") : writeFile(dir, name, content));
    f.ui->pbtnUpdateStart->click();
    QCOMPARE(f.ui->lbRes->text(), QString("文件加载失败"));
    QCOMPARE(f.ui->pbtnUpdateStart->text(), QString("开始"));
    QVERIFY(!f.ymodem);
    if (kind == "serial") {
        QVERIFY(!f.uart->port->isOpen());
        QCOMPARE(pty->readAllWritten(), QByteArray());
        return;
    }
    QVERIFY(!sim::isDeviceOpen(world.bridge(kind)));
    QCOMPARE(sim::pcaControl(world.bridge(kind)), 0);
    QVERIFY(sim::sensorState(world.sensor(kind)).rawWrites.isEmpty());
    const sim::BootLoaderState boot = sim::bootState(world.sensor(kind));
    QCOMPARE(boot.entries, 0);
    QVERIFY(!boot.active);
    QCOMPARE(uint8_t(sim::peekSensor(world.sensor(kind), 4)[3]), uint8_t(0x85));  // still sending frames
}

void tst_fwUpdateTab::successText_data()
{
    QTest::addColumn<qint64>("ms");
    QTest::addColumn<QString>("text");
    QTest::newRow("3 s 45 ms") << qint64(3045) << "更新成功,用时：3.045秒";
    QTest::newRow("12 s 5 ms") << qint64(12005) << "更新成功,用时：12.005秒";
    QTest::newRow("under a second") << qint64(999) << "更新成功,用时：0.999秒";
    QTest::newRow("whole seconds") << qint64(60000) << "更新成功,用时：60.000秒";
    QTest::newRow("nothing") << qint64(0) << "更新成功,用时：0.000秒";
}

void tst_fwUpdateTab::successText()
{
    QFETCH(qint64, ms);
    QFETCH(QString, text);
    QCOMPARE(fwUpdateForm::successText(ms), text);
}

void tst_fwUpdateTab::addressBoxShowsNoValue_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("typed");
    QTest::newRow("transfer box emptied") << "spbUpdateAddr" << "";
    QTest::newRow("transfer box, prefix only") << "spbUpdateAddr" << "0x";
    QTest::newRow("reset box emptied") << "spbResetAddr" << "";
}

// A box whose text is not a value keeps the one it had: the start writes nothing and says so.
void tst_fwUpdateTab::addressBoxShowsNoValue()
{
    QFETCH(QString, box);
    QFETCH(QString, typed);
    fwUpdateForm f;
    QVERIFY(chooseDevice(f, "CH341"));
    f.ui->spbResetAddr->setValue(kSensorAddr);
    f.ui->spbUpdateAddr->setValue(kSensorAddr);
    f.ui->leUpdateFilePath->setText(writeFile(dir, "app.bin", sourceImage(100)));
    auto* spin = f.findChild<QSpinBox*>(box);
    auto* edit = spin->findChild<QLineEdit*>();
    edit->setText(typed);
    QCOMPARE(spin->value(), int(kSensorAddr));  // the value the box held before
    sim::clearPacketLog(world.ch341Bridge);
    QSignalSpy started(&f, &fwUpdateForm::si_updateStart);
    f.ui->pbtnUpdateStart->click();
    QCOMPARE(f.ui->lbRes->text(), QString("地址无效"));
    QCOMPARE(started.count(), 0);
    QCOMPARE(f.ui->pbtnUpdateStart->text(), QString("开始"));
    QVERIFY(sim::packetLog(world.ch341Bridge).isEmpty());  // not even opened
    QVERIFY(!f.ch341->isOpen());

    // "无" sends no reset: its box is not read.
    if (box == "spbResetAddr") {
        f.ui->cbbResetCmd->setCurrentIndex(2);
        f.ui->pbtnUpdateStart->click();
        QCOMPARE(started.count(), 1);
        f.ui->pbtnUpdateStart->click();
    }
}

void tst_fwUpdateTab::bridgeResetFrame_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("choice");
    QTest::addColumn<QString>("custom");
    QTest::addColumn<QByteArray>("frame");
    for (const char* kind : {"CH341", "CH347"}) {
        QTest::addRow("%s default", kind) << kind << 0 << "" << kDefaultReset;
        QTest::addRow("%s custom A1B", kind) << kind << 1 << "A1B" << QByteArray::fromHex("a10b");
    }
}

// On a bridge the frame goes unchanged to the reset address, behind the chosen channel.
void tst_fwUpdateTab::bridgeResetFrame()
{
    QFETCH(QString, kind);
    QFETCH(int, choice);
    QFETCH(QString, custom);
    QFETCH(QByteArray, frame);
    fwUpdateForm f;
    QVERIFY(chooseDevice(f, kind));
    f.ui->cbbResetCmd->setCurrentIndex(choice);
    QVERIFY(f.ui->leResetCmd->isEnabled() == (choice == 1));
    QTest::keyClicks(f.ui->leResetCmd, custom + " x-");  // only hexadecimal digits are taken
    QCOMPARE(f.ui->leResetCmd->text(), custom);
    f.ui->spbResetAddr->setValue(kSensorAddr);
    f.ui->spbUpdateAddr->setValue(kSensorAddr);
    TACTILE_STEP(startWithFile(f));
    QCOMPARE(sim::sensorState(world.sensor(kind)).rawWrites, QVector<QByteArray>{frame});
    QCOMPARE(sim::bootState(world.sensor(kind)).entries, choice == 0 ? 1 : 0);
    f.ui->pbtnUpdateStart->click();  // stop
    QCOMPARE(f.ui->pbtnUpdateStart->text(), QString("开始"));
    QVERIFY(!sim::isDeviceOpen(world.bridge(kind)));
    QCOMPARE(sim::pcaControl(world.bridge(kind)), 0);
}

// On serial the frame names the sensor and goes at every rate a boot loader may listen at; the
// transfer then runs at the chosen rate.
void tst_fwUpdateTab::serialResetAtEveryRate()
{
    PtyPair pty;
    SerialBootPeer peer(pty);
    peer.start();
    class_uart::setExtraPortNames({pty.slavePath()});
    fwUpdateForm f;
    QVERIFY(chooseDevice(f, "serial", pty.slavePath()));
    // The peer reads the line's rate when it comes to a frame, which on a busy machine may be
    // after the port has moved on: each close of the port waits until the peer has taken the
    // frames written so far.
    LogRecorder log;
    connect(f.uart->port, &QIODevice::aboutToClose, this, [&] {
        const int written = log.matching("^set baudrate:").size();
        QElapsedTimer waited;
        waited.start();
        while (peer.resets().size() < written && waited.elapsed() < kRunWaitMs)
            QThread::msleep(1);
    });
    f.ui->cbbInfIdx->setCurrentIndex(1);  // 460800
    f.ui->spbResetAddr->setValue(0x05);
    f.ui->leUpdateFilePath->setText(writeFile(dir, "app.bin", sourceImage(300)));
    f.ui->pbtnUpdateStart->click();
    QTRY_VERIFY_WITH_TIMEOUT(f.ui->lbRes->text().startsWith("更新成功"), kRunWaitMs);
    const QByteArray frame = QByteArray::fromHex("aa5505a10000000000a501");
    QVector<int> rates;
    for (const SerialBootPeer::Reset& r : peer.resets()) {
        QCOMPARE(r.frame, frame);
        rates << r.rate;
    }
    QCOMPARE(rates, QVector<int>({115200, 460800, 576000, 921600}));
    QCOMPARE(peer.transferRate(), 460800);
    QCOMPARE(unmerged(peer.state().image), sourceImage(300));  // "加密": the key undone
}

// A custom frame too short to carry the address goes out on serial as typed.
void tst_fwUpdateTab::shortCustomFrameOnSerial()
{
    PtyPair pty;
    class_uart::setExtraPortNames({pty.slavePath()});
    fwUpdateForm f;
    QVERIFY(chooseDevice(f, "serial", pty.slavePath()));
    f.ui->cbbResetCmd->setCurrentIndex(1);
    f.ui->leResetCmd->setText("AA55A1");
    TACTILE_STEP(startWithFile(f));
    QCOMPARE(pty.readAllWritten(), QByteArray::fromHex("aa55a1aa55a1aa55a1aa55a1"));
    f.ui->pbtnUpdateStart->click();  // stop
}

void tst_fwUpdateTab::noResetFrame()
{
    fwUpdateForm f;
    QVERIFY(chooseDevice(f, "CH341"));
    f.ui->cbbResetCmd->setCurrentIndex(2);
    QVERIFY(!f.ui->spbResetAddr->isEnabled());
    QVERIFY(!f.ui->leResetCmd->isEnabled());
    f.ui->spbResetAddr->setValue(kSensorAddr);
    TACTILE_STEP(startWithFile(f));
    QVERIFY(sim::sensorState(world.ch341Sensor).rawWrites.isEmpty());
    f.ui->pbtnUpdateStart->click();  // stop

    PtyPair pty;
    class_uart::setExtraPortNames({pty.slavePath()});
    QVERIFY(chooseDevice(f, "serial", pty.slavePath()));
    TACTILE_STEP(startWithFile(f));
    QCOMPARE(pty.readAllWritten(), QByteArray());
    f.ui->pbtnUpdateStart->click();  // stop
}

// Item 4 is channel 3: its mask goes to the multiplexer and must come back.
void tst_fwUpdateTab::multiplexerItemPasses()
{
    fwUpdateForm f;
    QVERIFY(chooseDevice(f, "CH347"));
    f.ui->cbbInfIdx->setCurrentIndex(4);
    QByteArray file = sourceImage(100);
    f.ui->leUpdateFilePath->setText(writeFile(dir, "app.bin", file));
    f.ui->cbbResetCmd->setCurrentIndex(2);
    f.ui->pbtnUpdateStart->click();
    QCOMPARE(sim::pcaControl(world.ch347Bridge), 0x08);
    QCOMPARE(f.ui->lbRes->text(), QString("开始更新"));
    QCOMPARE(f.ui->pbtnUpdateStart->text(), QString("停止"));
    f.ui->pbtnUpdateStart->click();  // stop: the multiplexer is reset, the bridge closed
    QCOMPARE(sim::pcaControl(world.ch347Bridge), 0);
    QVERIFY(!sim::isDeviceOpen(world.ch347Bridge));
    QTRY_COMPARE(f.ui->lbRes->text(), QString("更新取消"));
}

void tst_fwUpdateTab::multiplexerCheckFails_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("fault");
    QTest::newRow("CH341 without multiplexer") << "CH341" << "nopca";
    QTest::newRow("CH347 without multiplexer (read gives 0xFF)") << "CH347" << "nopca";
    QTest::newRow("CH341 read fails (gives 0x00)") << "CH341" << "short read";
}

void tst_fwUpdateTab::multiplexerCheckFails()
{
    QFETCH(QString, kind);
    QFETCH(QString, fault);
    if (fault == "nopca")
        world = freshWorld(false);
    fwUpdateForm f;
    QVERIFY(chooseDevice(f, kind));
    if (fault == "short read") {
        sim::BridgeFaults b;
        b.shortRead = true;
        sim::setBridgeFaults(world.bridge(kind), b);
    }
    f.ui->spbResetAddr->setValue(kSensorAddr);
    startWithoutFile(f);
    QCOMPARE(f.ui->lbRes->text(), QString("IIC总线芯片(PCA9548)设置失败"));
    QCOMPARE(f.ui->pbtnUpdateStart->text(), QString("开始"));
    QVERIFY(!sim::isDeviceOpen(world.bridge(kind)));
    QVERIFY(sim::sensorState(world.sensor(kind)).rawWrites.isEmpty());  // no run, no reset frame
}

// "无PCA9548": the run goes on, the multiplexer untouched beyond its reset.
void tst_fwUpdateTab::noMultiplexerGoesOn()
{
    world = freshWorld(false);
    fwUpdateForm f;
    QVERIFY(chooseDevice(f, "CH341"));
    f.ui->cbbInfIdx->setCurrentIndex(0);
    f.ui->leUpdateFilePath->setText(writeFile(dir, "app.bin", sourceImage(50)));
    f.ui->spbResetAddr->setValue(kSensorAddr);
    f.ui->spbUpdateAddr->setValue(kSensorAddr);
    QSignalSpy started(&f, &fwUpdateForm::si_updateStart);
    f.ui->pbtnUpdateStart->click();
    QCOMPARE(started.count(), 1);
    QTRY_VERIFY_WITH_TIMEOUT(f.ui->lbRes->text().startsWith("更新成功"), kRunWaitMs);
}

void tst_fwUpdateTab::nothingChosen_data()
{
    QTest::addColumn<QString>("missing");
    QTest::newRow("no device") << "device";
    QTest::newRow("no rate") << "rate";
}

void tst_fwUpdateTab::nothingChosen()
{
    QFETCH(QString, missing);
    PtyPair pty;
    class_uart::setExtraPortNames({pty.slavePath()});
    fwUpdateForm f;
    if (missing == "device") {
        sim::reset();
        f.start();
    } else {
        QVERIFY(chooseDevice(f, "serial", pty.slavePath()));
        f.ui->cbbInfIdx->setEditText("");
    }
    QSignalSpy started(&f, &fwUpdateForm::si_updateStart);
    f.ui->pbtnUpdateStart->click();
    QCOMPARE(f.ui->lbRes->text(), QString("通信接口未选择"));
    QCOMPARE(started.count(), 0);
    QVERIFY(!f.ch341 || !f.ch341->isOpen());
    QVERIFY(!f.uart || !f.uart->port->isOpen());
}

void tst_fwUpdateTab::openFails()
{
    fwUpdateForm f;
    QVERIFY(chooseDevice(f, "CH341"));
    sim::BridgeFaults b;
    b.failOpen = true;
    sim::setBridgeFaults(world.ch341Bridge, b);
    f.ui->pbtnUpdateStart->click();
    QCOMPARE(f.ui->lbRes->text(), QString("通信接口打开失败"));
    QCOMPARE(f.ui->pbtnUpdateStart->text(), QString("开始"));
    QVERIFY(!f.ch341->isOpen());
}

// The chosen file lands in the path field and the setting; a cancelled dialog changes nothing.
void tst_fwUpdateTab::fileChoice()
{
    const QString first = writeFile(dir, "first.hex", ":00000001FF");
    class_settings::set("UPDATE/FILE_PATH", first);
    fwUpdateForm f;
    QCOMPARE(f.ui->leUpdateFilePath->text(), first);  // read at construction

    const QString chosen = writeFile(dir, "app.bin", "x");
    WarningRecorder::fileAnswer() = chosen;
    f.ui->pbtnUpdateFileSelect->click();
    QCOMPARE(WarningRecorder::fileRequests().size(), 1);
    QCOMPARE(WarningRecorder::fileRequests()[0].caption, QString("选择app文件"));
    QCOMPARE(WarningRecorder::fileRequests()[0].dir, first);
    QCOMPARE(WarningRecorder::fileRequests()[0].filter, QString("*.bin;*.hex"));
    QCOMPARE(f.ui->leUpdateFilePath->text(), QDir::toNativeSeparators(chosen));
    QCOMPARE(class_settings::get("UPDATE/FILE_PATH", QString()), QDir::toNativeSeparators(chosen));
    QCOMPARE(f.getFile(), QDir::toNativeSeparators(chosen));

    WarningRecorder::fileAnswer().clear();
    f.ui->pbtnUpdateFileSelect->click();
    QCOMPARE(WarningRecorder::fileRequests().size(), 2);
    QCOMPARE(f.ui->leUpdateFilePath->text(), QDir::toNativeSeparators(chosen));
    QCOMPARE(class_settings::get("UPDATE/FILE_PATH", QString()), QDir::toNativeSeparators(chosen));

    f.ui->leUpdateFilePath->setText("typed");  // every edit is kept at once
    QCOMPARE(class_settings::get("UPDATE/FILE_PATH", QString()), QString("typed"));
}

void tst_fwUpdateTab::englishTexts()
{
    QTranslator english;
    QVERIFY(english.load(":/en.qm"));
    QCoreApplication::installTranslator(&english);
    {
        fwUpdateForm f;
        QCOMPARE(f.ui->label_22->text(), QString("Interface"));
        QCOMPARE(f.ui->pbtnUpdateFileSelect->text(), QString("Browse"));
        QCOMPARE(f.ui->cbbSensorVersion->itemText(0), QString("Encrypted"));
        QCOMPARE(f.ui->cbbResetCmd->itemText(2), QString("None"));
        QCOMPARE(f.ui->cbbInfIdx->itemText(1), QString("Board-1(PCA9548-4)"));
        QCOMPARE(f.ui->cbbInfIdx->itemText(6), QString("PCA9548-0"));
        QCOMPARE(f.ui->rbtnUart->text(), QString("UART"));
        f.start();
        QCOMPARE(f.ui->cbbInfIdx->itemText(0), QString("No PCA9548"));
        f.ui->pbtnUpdateStart->click();
        QCOMPARE(f.ui->lbRes->text(), QString("No interface chosen"));
        QCOMPARE(f.ui->pbtnUpdateStart->text(), QString("Start"));
    }
    QCoreApplication::removeTranslator(&english);
}

TACTILE_TEST_MAIN(tst_fwUpdateTab)
#include "tst_fwUpdateTab.moc"
