// What the panel asks the sensor: every control's request frame, the first reads of a new view,
// the send type that follows the tab, delayed re-reads, the threshold conversion, the table
// editors' writes and the calibration export.

#include "tst_panelFixture.h"
#include "ui_fingerForm.h"

#include "dataForm.h"
#include "testMain.h"
#include "warningRecorder.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <functional>

using namespace panelTest;

using PanelAction = std::function<void(fingerForm*)>;
Q_DECLARE_METATYPE(PanelAction)

namespace {
void setEditor(QTableWidget* t, int row, int col, const QString& text)
{
    auto* e = new QLineEdit(text, t);
    t->setCellWidget(row, col, e);
}

// Type the text into the editor of a cell and finish the edit.
void edit(QTableWidget* t, int row, int col, const QString& text)
{
    auto* e = qobject_cast<QLineEdit*>(t->cellWidget(row, col));
    QVERIFY2(e, "no editor in the cell");
    e->setText(text);
    emit e->editingFinished();
}

}  // namespace

class tst_panelRequests : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { registerViews(); }
    void init() { WarningRecorder::clear(); }

    void firstReadsOfANewView();
    void firstReadsWithoutRecord();
    void showDataSwitchReachesTheView();
    void noViewSendsNothing();
    void rebuildResetsTheSendType();
    void goingPanelSendsNothing_data();
    void goingPanelSendsNothing();
    void controls_data();
    void controls();
    void factoryResetQuestion();
    void factoryResetPanelGoneDuringQuestion();
    void countdownReadsThresholdsBack_data();
    void countdownReadsThresholdsBack();
    void touchThresholdReReadsAfter200ms();
    void pressThresholdRaw_data();
    void pressThresholdRaw();
    void pressThresholdButton();
    void firmwareTakesCaliList_data();
    void firmwareTakesCaliList();
    void calibrationClear_data();
    void calibrationClear();
    void editors_data();
    void editors();
    void filterEditor();
    void calibrationEditor_data();
    void calibrationEditor();
    void calibrationExport();
};

void tst_panelRequests::firstReadsOfANewView()
{
    fingerForm p(0, 0x60);
    RequestLog log(&p);
    p.sl_connectedFinger(0, 0x60, sensor(20));
    // Version, type, serial number, the one-column parameter read, then force output for tab 0.
    QCOMPARE(log.take(), QStringList({
                             req("a0", 25),
                             req("a6", 11),
                             req("a4", 65535),
                             req("68", 34),
                             req("7f00000004", 11),
                         }));
    QCOMPARE(p.sendType, uint8_t(0));
    QCOMPARE(p.ui->lbAddr->text(), QString("0x60"));
    QCOMPARE(p.ui->lbType->text(), QString::number(kDevId));
    QCOMPARE(p.ui->lbIICAddr->text(), QString("96"));
    auto* view = dynamic_cast<RecordingView*>(p.ff);
    QVERIFY(view);
    QCOMPARE(view->showData, QVector<bool>{true});
    QVERIFY(p.ui->gl->indexOf(view) >= 0);
}

void tst_panelRequests::firstReadsWithoutRecord()
{
    // Type 103 is shown by view 102, which has no catalogue record: no rows, no parameter read.
    fingerForm p(0, 0x60);
    RequestLog log(&p);
    p.sl_connectedFinger(0, 0x60, sensor(103));
    QVERIFY(p.ff);
    QVERIFY(!p.ff->fingerParam);
    QCOMPARE(p.dataFormList.size(), 0);
    QCOMPARE(p.ui->tbwThreshold->rowCount(), 0);
    QCOMPARE(log.take(), QStringList({req("a0", 25), req("a6", 11), req("a4", 0xFFFF), req("7f00000004", 11)}));
    // Controls that need the record do nothing.
    emit p.ui->pbtnCaliRefresh->clicked();
    emit p.ui->pbtnCaliClear->clicked();
    p.getDac();
    p.getCaliNList();
    QCOMPARE(log.take(), QStringList());
}

void tst_panelRequests::showDataSwitchReachesTheView()
{
    auto p = panelFor(20);
    auto* first = dynamic_cast<RecordingView*>(p->ff);
    QVERIFY(first);
    p->ui->chkbtnShowData->click();
    p->ui->chkbtnShowData->click();
    p->ui->chkbtnShowData->click();
    QCOMPARE(first->showData, QVector<bool>({true, false, true, false}));
    // A view built later starts from the box as it stands and follows it from then on.
    p->sl_connectedFinger(0, 0x60, sensor(43));
    auto* second = dynamic_cast<RecordingView*>(p->ff);
    QVERIFY(second && second->classNumber == 43);
    p->ui->chkbtnShowData->click();
    QCOMPARE(second->showData, QVector<bool>({false, true}));
}

void tst_panelRequests::noViewSendsNothing()
{
    for (const sensor_ts& s : {sensor(1), sensor(51), sensor(101), sensor(200), sensor(255, 0, 0x60, 40)}) {
        fingerForm p(0, 0x60);
        RequestLog log(&p);
        p.sl_connectedFinger(0, 0x60, s);
        QVERIFY(!p.ff);
        QCOMPARE(log.take(), QStringList());
        QCOMPARE(p.ui->lbAddr->text(), QString());
        emit p.ui->pbtnGetThreshold->clicked();
        p.ui->chkbtnShowData->click();
        QCOMPARE(log.take(), QStringList());
    }
}

void tst_panelRequests::rebuildResetsTheSendType()
{
    // A new view of the sensor starts from send type 0 and says so, as discovery does.
    auto p = panelFor(20);
    p->ui->cbbSetSendType->setCurrentIndex(3);
    RequestLog log(p.get());
    p->sl_connectedFinger(0, 0x60, sensor(20));
    const QStringList sent = log.take();
    QVERIFY(!sent.isEmpty());
    QCOMPARE(sent.first(), req("7f00000000", 11));
    QCOMPARE(p->ui->cbbSetSendType->currentIndex(), 0);
}

void tst_panelRequests::goingPanelSendsNothing_data()
{
    QTest::addColumn<bool>("windowClosed");
    QTest::newRow("deleted as its sensor went") << false;
    QTest::newRow("its window closed by the user") << true;
}

void tst_panelRequests::goingPanelSendsNothing()
{
    QFETCH(bool, windowClosed);
    QPointer<fingerForm> p = panelFor(20).release();
    p->ui->cbbSetSendType->setCurrentIndex(3);
    RequestLog log(p);
    if (windowClosed) {
        p->close();
        QTRY_VERIFY(!p);
    } else {
        delete p;
    }
    QCOMPARE(log.take(), QStringList());
}

void tst_panelRequests::controls_data()
{
    QTest::addColumn<PanelAction>("action");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("soft reset") << PanelAction([](fingerForm* p) { p->ui->pbtnReset->click(); })
                                << QStringList{req("a1", 6)};
    QTest::newRow("channel value adjustment") << PanelAction([](fingerForm* p) { p->ui->pbtnAutoDac->click(); })
                                              << QStringList{req("63", 6)};
    QTest::newRow("reset all channels")
        << PanelAction([](fingerForm* p) { p->ui->pbtnChannelResetAll->click(); }) << QStringList{req("79", 6)};
    QTest::newRow("send type 2") << PanelAction([](fingerForm* p) { p->ui->cbbSetSendType->setCurrentIndex(2); })
                                 << QStringList{req("7f00000002", 11)};
    QTest::newRow("new address 0x21") << PanelAction([](fingerForm* p) {
        p->ui->spbIICAddr->setValue(0x21);
        p->ui->pbtnSetIICAddr->click();
    }) << QStringList{req("7000000021", 11)};
    QTest::newRow("parameters, one column")
        << PanelAction([](fingerForm* p) { p->ui->pbtnGetThreshold->click(); }) << QStringList{req("68", 34)};
    QTest::newRow("parameters, six columns") << PanelAction([](fingerForm* p) {
        p->ui->tbwThreshold->setColumnCount(6);
        p->ui->pbtnGetThreshold->click();
    }) << QStringList{req("68", 34), req("51", 13), req("53", 13), req("5a", 48), req("5e", 34), req("4a", 34)};
    QTest::newRow("parameters, three columns") << PanelAction([](fingerForm* p) {
        p->ui->tbwThreshold->setColumnCount(3);
        p->ui->pbtnGetThreshold->click();
    }) << QStringList{req("68", 34), req("51", 13), req("53", 13)};
    QTest::newRow("auto threshold snr 3 min 0") << PanelAction([](fingerForm* p) {
        p->ui->spbThresholdSNR->setValue(3);
        p->ui->spbThresholdMin->setValue(0);
        p->ui->pbtnAutoThreshold->click();
    }) << QStringList{req("6703", 6)};
    QTest::newRow("auto threshold snr 7 min 70000") << PanelAction([](fingerForm* p) {
        p->ui->spbThresholdSNR->setValue(7);
        p->ui->spbThresholdMin->setValue(70000);
        p->ui->pbtnAutoThreshold->click();
    }) << QStringList{req("670770110100", 6)};
    for (auto c : {std::make_pair(2.5, "fa000000"), std::make_pair(0.75, "4b000000"), std::make_pair(0.29, "1d000000"),
                   std::make_pair(99.99, "0f270000")}) {
        const double n = c.first;
        QTest::addRow("touch threshold %g", n) << PanelAction([n](fingerForm* p) {
            p->ui->dspbTouchThreshold->setValue(n);
            p->ui->pbtnTouchThreshold->click();
        }) << QStringList{req(QByteArray("6a01").append(c.second), 11)};
    }
    QTest::newRow("standard mode") << PanelAction([](fingerForm* p) { p->ui->rbtnModeNor->click(); })
                                   << QStringList{req("5600", 6)};
    QTest::newRow("high sensitivity mode") << PanelAction([](fingerForm* p) { p->ui->rbtnModeHighBd->click(); })
                                           << QStringList{req("5601", 6)};
    QTest::newRow("clear without proximity ticked 500 ms") << PanelAction([](fingerForm* p) {
        p->ui->spbProxClearTouchTimeout->setValue(500);
        p->ui->chkbtnProxClearTouch->click();
    }) << QStringList{req("5b01f4010000", 11), req("5c", 11)};
    QTest::newRow("clear without proximity button, unticked") << PanelAction([](fingerForm* p) {
        p->ui->pbtnSetProxClearTouch->click();
    }) << QStringList{req("5b00", 11), req("5c", 11)};
    QTest::newRow("auto dac at power-up") << PanelAction([](fingerForm* p) { p->ui->chkbtnAutoDacPowerUp->click(); })
                                          << QStringList{req("4001", 11)};
    QTest::newRow("read temperature") << PanelAction([](fingerForm* p) { p->ui->pbtnGetTemp->click(); })
                                      << QStringList{req("74", 11)};
    QTest::newRow("temperature calibration 25.5") << PanelAction([](fingerForm* p) {
        p->ui->dspbTempCali->setValue(25.5);
        p->ui->pbtnTempCali->click();
    }) << QStringList{req("750000cc41", 11)};
    QTest::newRow("pressure release 1000 scale 3") << PanelAction([](fingerForm* p) {
        p->ui->spbPressReleaseThreshold->setValue(1000);
        p->ui->spbPressReleaseThresholdScale->setValue(3);
        p->ui->pbtnSetPressReleaseThreshold->click();
    }) << QStringList{req("43e803000003", 11)};
    QTest::newRow("proximity release 70000 scale 254") << PanelAction([](fingerForm* p) {
        p->ui->spbProxReleaseThreshold->setValue(70000);
        p->ui->spbProxReleaseThresholdScale->setValue(254);
        p->ui->pbtnSetProxReleaseThreshold->click();
    }) << QStringList{req("45701101" "00fe", 11)};
    QTest::newRow("tab 1 restores send type") << PanelAction([](fingerForm* p) { p->ui->tabWidget->setCurrentIndex(1); })
                                              << QStringList{req("7f00000000", 11)};
    QTest::newRow("tab 2 then back to the view") << PanelAction([](fingerForm* p) {
        p->ui->cbbSetSendType->setCurrentIndex(3);
        p->ui->tabWidget->setCurrentIndex(2);
        p->ui->tabWidget->setCurrentIndex(0);
    }) << QStringList{req("7f00000003", 11), req("7f00000003", 11), req("7f00000004", 11)};
    QTest::newRow("tab change, combo moved off the send type") << PanelAction([](fingerForm* p) {
        p->ui->cbbSetSendType->setCurrentIndex(2);
        p->ui->tabWidget->setCurrentIndex(1);
        p->ui->cbbSetSendType->blockSignals(true);
        p->ui->cbbSetSendType->setCurrentIndex(4);
        p->ui->cbbSetSendType->blockSignals(false);
        p->ui->tabWidget->setCurrentIndex(2);
    }) << QStringList{req("7f00000002", 11), req("7f00000002", 11), req("7f00000002", 11)};
    QTest::newRow("channel reset of row 3") << PanelAction([](fingerForm* p) { emit p->dataFormList[3]->si_reset(3); })
                                            << QStringList{req("7c03", 11)};
    QTest::newRow("channel enable of row 2 off and on") << PanelAction([](fingerForm* p) {
        emit p->dataFormList[2]->si_en(2, false);
        emit p->dataFormList[2]->si_en(2, true);
    }) << QStringList{req("7b02000000", 11), req("7b02000001", 11)};
    QTest::newRow("calibration refresh") << PanelAction([](fingerForm* p) { p->ui->pbtnCaliRefresh->click(); })
                                         << QStringList{req("6600", 110), req("6601", 110), req("6602", 110),
                                                        req("6603", 110), req("6604", 110), req("6605", 110),
                                                        req("6606", 110), req("6607", 110), req("6f", 14)};
    QTest::newRow("show data box") << PanelAction([](fingerForm* p) { p->ui->chkbtnShowData->click(); })
                                   << QStringList();
    QTest::newRow("channel counts, type, version") << PanelAction([](fingerForm* p) { p->sl_setCurrSensor(3, 9); })
                                                   << QStringList{req("a6", 11), req("a0", 25), req("62", 11)};
    QTest::newRow("queries nothing calls") << PanelAction([](fingerForm* p) {
        p->getCaliNList();
        p->getAutoDacPowerUp();
        p->getReleaseThreshold();
    }) << QStringList{req("6d", 4 * 26 + 7), req("41", 11), req("44", 11), req("46", 11)};
}

void tst_panelRequests::controls()
{
    QFETCH(PanelAction, action);
    QFETCH(QStringList, expected);
    auto p = panelFor(20);
    RequestLog log(p.get());
    action(p.get());
    QCOMPARE(log.take(), expected);
}

void tst_panelRequests::factoryResetQuestion()
{
    auto p = panelFor(20);
    RequestLog log(p.get());
    WarningRecorder::answer() = QMessageBox::No;
    p->ui->pbtnSetFactor->click();
    QCOMPARE(WarningRecorder::questions().size(), 1);
    QCOMPARE(WarningRecorder::questions().first().first, QString("提示"));
    QCOMPARE(WarningRecorder::questions().first().second, QString("确认回复出厂设置？"));
    QCOMPARE(log.take(), QStringList());
    WarningRecorder::answer() = QMessageBox::Reset;
    p->ui->pbtnSetFactor->click();
    QCOMPARE(log.take(), QStringList{req("76", 11)});
}

void tst_panelRequests::factoryResetPanelGoneDuringQuestion()
{
    // The sensor is lost while the question waits: the answer must not reach a deleted panel.
    auto* p = panelFor(20).release();
    QStringList sent;
    connect(p, &fingerForm::si_cmdReq1, [&sent](uint8_t, uint8_t, QByteArray cmd, uint16_t) { sent << cmd.toHex(); });
    const auto previous = hooks::setQuestion(
        [p](const QString&, const QString&, QMessageBox::StandardButtons, QMessageBox::StandardButton) {
            delete p;
            return QMessageBox::Reset;
        });
    emit p->ui->pbtnSetFactor->clicked();
    hooks::setQuestion(previous);
    QCOMPARE(sent, QStringList());
}

void tst_panelRequests::countdownReadsThresholdsBack_data()
{
    QTest::addColumn<PanelAction>("action");
    QTest::addColumn<int>("seconds");
    QTest::newRow("auto threshold") << PanelAction([](fingerForm* p) { p->ui->pbtnAutoThreshold->click(); }) << 10;
    QTest::newRow("standard mode") << PanelAction([](fingerForm* p) { p->ui->rbtnModeNor->click(); }) << 2;
    QTest::newRow("high sensitivity") << PanelAction([](fingerForm* p) { p->ui->rbtnModeHighBd->click(); }) << 15;
}

void tst_panelRequests::countdownReadsThresholdsBack()
{
    QFETCH(PanelAction, action);
    QFETCH(int, seconds);
    auto p = panelFor(20);
    RequestLog log(p.get());
    p->countdownTimer->setInterval(1);  // one step per millisecond instead of per second
    QStringList labels;
    connect(p->countdownTimer, &QTimer::timeout, [&] { labels << p->ui->lbAutoThresholdTime->text(); });
    action(p.get());
    QCOMPARE(log.take().size(), 1);
    QCOMPARE(p->countdown, uint8_t(seconds));
    QTRY_VERIFY(!p->countdownTimer->isActive());
    QCOMPARE(labels.size(), seconds);
    QCOMPARE(labels.first(), QString("倒计时：%1秒").arg(seconds - 1));
    QCOMPARE(labels.last(), QString("倒计时：0秒"));
    QCOMPARE(log.take(), QStringList{req("68", 34)});
}

void tst_panelRequests::touchThresholdReReadsAfter200ms()
{
    constexpr qint64 kReReadMs = 200;
    auto p = panelFor(20);
    RequestLog log(p.get());
    p->ui->dspbTouchThreshold->setValue(1);
    p->ui->pbtnTouchThreshold->click();
    QCOMPARE(log.lines, QStringList{req("6a0164000000", 11)});
    QCOMPARE(log.atMs.size(), 1);
    // The thresholds are read back 200 ms after the write, not before.
    QTRY_COMPARE_WITH_TIMEOUT(log.lines.size(), 2, kHangMs);
    QCOMPARE(log.lines.last(), req("68", 34));
    QVERIFY2(log.atMs.last() >= kReReadMs, qPrintable(QString("read back after %1 ms").arg(log.atMs.last())));
    log.take();

    // A panel that goes before its re-read leaves nothing behind; the one that stays writes right
    // after it, so once its re-read came the gone panel's was due as well.
    auto* gone = panelFor(20).release();
    gone->ui->pbtnTouchThreshold->click();
    delete gone;
    p->ui->pbtnTouchThreshold->click();
    QTRY_COMPARE_WITH_TIMEOUT(log.lines.size(), 2, kHangMs);
    QCOMPARE(log.lines.last(), req("68", 34));
}

void tst_panelRequests::pressThresholdRaw_data()
{
    QTest::addColumn<double>("force");
    QTest::addColumn<QVector<float>>("forces");
    QTest::addColumn<QVector<uint32_t>>("raw");
    QTest::addColumn<uint32_t>("expected");
    const QVector<float> F{1, 2, 3};
    const QVector<uint32_t> r{100, 200, 400};
    QTest::newRow("at the last point") << 3.0 << F << r << 400u;
    QTest::newRow("above the last point") << 5.0 << F << r << 400u;
    QTest::newRow("below the first point") << 0.5 << F << r << 50u;
    QTest::newRow("on the first point") << 1.0 << F << r << 100u;
    QTest::newRow("on an inner point") << 2.0 << F << r << 200u;
    QTest::newRow("between the first two") << 1.5 << F << r << 150u;
    QTest::newRow("between the last two") << 2.5 << F << r << 300u;
    QTest::newRow("truncated toward zero") << 1.255 << F << r << 125u;
    QTest::newRow("points not rising") << 1.5 << F << QVector<uint32_t>{100, 100, 400} << 0u;
    QTest::newRow("no forces") << 1.5 << QVector<float>() << r << 0u;
    QTest::newRow("no raw values") << 1.5 << F << QVector<uint32_t>() << 0u;
    QTest::newRow("more forces than values") << 2.5 << QVector<float>{1, 2, 3, 4} << QVector<uint32_t>{100, 200} << 200u;
    QTest::newRow("zero force below the first") << 0.0 << F << r << 0u;
}

void tst_panelRequests::pressThresholdRaw()
{
    QFETCH(double, force);
    QFETCH(QVector<float>, forces);
    QFETCH(QVector<uint32_t>, raw);
    QFETCH(uint32_t, expected);
    QCOMPARE(fingerForm::pressThresholdRaw(force, forces, raw), expected);
}

void tst_panelRequests::pressThresholdButton()
{
    auto p = panelFor(20);
    // Forces from the calibration list, raw values from channel 0's calibration column.
    p->sl_cmdRsp(0, 0x60, request(0x6D),
                 answer(0x6D, QByteArray(1, 3) + QByteArray::fromHex("0000803f" "00000040" "00004040")));
    QByteArray values;
    for (uint32_t i = 0; i < 26; ++i)
        values += u32le(100 * (i + 1) * (i + 1));
    p->sl_cmdRsp(0, 0x60, request(0x66, QByteArray(1, 0)), answer(0x66, values));
    QCOMPARE(cellText(p->ui->tbwCaliTable, 2, 0), QString("900"));
    RequestLog log(p.get());
    p->ui->dspbSetPressThresholdPress->setValue(1.5);  // halfway from 100 (1 N) to 400 (2 N)
    p->ui->pbtnSetPressThreshold->click();
    QCOMPARE(log.take(), QStringList{req("6900fa000000", 11)});
    QTRY_COMPARE_WITH_TIMEOUT(log.lines, QStringList{req("68", 34)}, kHangMs);
}

void tst_panelRequests::firmwareTakesCaliList_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<bool>("list");
    QTest::newRow("1.3.0") << "1.3.0" << true;
    QTest::newRow("2.0.0") << "2.0.0" << true;
    QTest::newRow("1.10.0") << "1.10.0" << true;
    QTest::newRow("1.2.9") << "1.2.9" << false;
    QTest::newRow("0.9.0") << "0.9.0" << false;
    QTest::newRow("no dot") << "13" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("1.") << "1." << false;
}

void tst_panelRequests::firmwareTakesCaliList()
{
    QFETCH(QString, version);
    QFETCH(bool, list);
    QCOMPARE(fingerForm::firmwareTakesCaliList(version), list);
}

void tst_panelRequests::calibrationClear_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<QStringList>("expected");
    const QString listFrame = rawReq(qPrintable("4200" + QString(26 * 8, '0')), 11);
    QTest::newRow("list form") << "1.3.0" << QStringList{listFrame, req("6600", 110), req("6f", 14)};
    QTest::newRow("per point") << "1.2.9"
                               << QStringList{req("650001", 11), req("650003", 11), req("6600", 110), req("6f", 14)};
}

void tst_panelRequests::calibrationClear()
{
    QFETCH(QString, version);
    QFETCH(QStringList, expected);
    auto p = panelFor(20);
    p->ui->tbwCaliMaxAuto->setColumnCount(1);
    for (int r = 0; r < 26; ++r)
        setEditor(p->ui->tbwCaliTable, r, 0, r == 1 || r == 3 ? "7" : "0");
    p->ui->lbVersion->setText(version);
    RequestLog log(p.get());
    p->ui->pbtnCaliClear->click();
    QCOMPARE(log.take(), expected);
}

void tst_panelRequests::editors_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<uint8_t>("readCode");
    QTest::addColumn<int>("bytesPerChannel");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("threshold of row 7 to 1500") << 0 << uint8_t(0x68) << 4 << "1500" << QStringList{req("6907dc050000", 11)};
    QTest::newRow("threshold emptied") << 0 << uint8_t(0x68) << 4 << "" << QStringList();
    QTest::newRow("excitation frequency 12") << 1 << uint8_t(0x51) << 1 << "12" << QStringList{req("50070c", 11)};
    QTest::newRow("range 5") << 2 << uint8_t(0x53) << 1 << "5" << QStringList{req("520705", 11)};
    QTest::newRow("timeout 3000 ms") << 6 << uint8_t(0x5E) << 4 << "3000" << QStringList{req("5d07b80b0000", 11)};
}

void tst_panelRequests::editors()
{
    QFETCH(int, column);
    QFETCH(uint8_t, readCode);
    QFETCH(int, bytesPerChannel);
    QFETCH(QString, text);
    QFETCH(QStringList, expected);
    auto p = panelFor(17);  // 16 channels
    p->ui->tbwThreshold->setColumnCount(10);
    p->sl_cmdRsp(0, 0x60, request(readCode), answer(readCode, QByteArray(16 * bytesPerChannel, 1)));
    RequestLog log(p.get());
    edit(p->ui->tbwThreshold, 7, column, text);
    QCOMPARE(log.take(), expected);
}

void tst_panelRequests::filterEditor()
{
    auto p = panelFor(17);
    p->ui->tbwThreshold->setColumnCount(10);
    p->sl_cmdRsp(0, 0x60, request(0x5A), answer(0x5A, QByteArray(16 * 6, 0)));
    QTableWidget* t = p->ui->tbwThreshold;
    QCOMPARE(cellText(t, 4, 5), QString("0"));
    RequestLog log(p.get());
    for (int c : {3, 4, 5})
        qobject_cast<QLineEdit*>(t->cellWidget(4, c))->clear();
    edit(t, 4, 5, "");
    QCOMPARE(log.take(), QStringList());  // all three empty: nothing to send
    edit(t, 4, 5, "1.5");
    // Channel 4, both filter bytes 0, 1.5 as a float; the 13-byte filter frame.
    QCOMPARE(log.take(), QStringList{rawReq("590400000000c03f", 11)});
    edit(t, 4, 3, "3");
    edit(t, 4, 4, "16");
    QCOMPARE(log.take().last(), rawReq("590403100000c03f", 11));
}

void tst_panelRequests::calibrationEditor_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("write");
    QTest::newRow("24-bit value") << "16777214"
                                  << req("650205feffff", 11);
    QTest::newRow("32-bit value") << "16777215"
                                  << rawReq("650205ffffff00", 11);
}

void tst_panelRequests::calibrationEditor()
{
    QFETCH(QString, text);
    QFETCH(QString, write);
    auto p = panelFor(20);
    QByteArray values;
    for (uint32_t i = 0; i < 26; ++i)
        values += u32le(10 * (i + 1));
    p->sl_cmdRsp(0, 0x60, request(0x66, QByteArray(1, 2)), answer(0x66, values));
    RequestLog log(p.get());
    edit(p->ui->tbwCaliTable, 5, 2, text);
    // The write, then the column and the state read again.
    QCOMPARE(log.take(), QStringList({write, req("6602", 110), req("6f", 14)}));
}

void tst_panelRequests::calibrationExport()
{
    auto p = panelFor(20);
    p->sl_cmdRsp(0, 0x60, request(0x6D), answer(0x6D, QByteArray(1, 2) + QByteArray::fromHex("0000003f" "0000803f")));
    QTableWidget* t = p->ui->tbwCaliTable;
    t->setRowCount(3);
    t->setColumnCount(3);
    const char* cells[3][3] = {{"10", "20", "30"}, {"40", "50", "60"}, {"70", "80", "90"}};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            setEditor(t, r, c, cells[r][c]);

    const QString dir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    const QString path = dir + "/caliTable.csv";
    QVERIFY(QDir::cleanPath(dir).startsWith(QDir::cleanPath(qEnvironmentVariable("XDG_DATA_HOME"))));
    QDir(dir).removeRecursively();  // the folder is made when missing
    p->ui->pbtnCaliSave->click();
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    // The third point has no force in the list: its force field stays empty.
    QCOMPARE(f.readAll(), QByteArray("0.5,10,20,30,\n1.0,40,50,60,\n,70,80,90,\n"));
    f.close();

    // A new export replaces the old one whole.
    t->setRowCount(1);
    p->ui->pbtnCaliSave->click();
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("0.5,10,20,30,\n"));
}

TACTILE_TEST_MAIN(tst_panelRequests)
#include "tst_panelRequests.moc"
