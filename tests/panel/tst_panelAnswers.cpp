// What the panel shows of the sensor's answers: field texts, colours, warnings, the length rules
// that accept or ignore a table answer, and robustness against malformed answers.

#include "tst_panelFixture.h"
#include "ui_fingerForm.h"

#include "testMain.h"
#include "warningRecorder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QRandomGenerator>
#include <QSpinBox>

using namespace panelTest;

namespace {
// What a widget shows, as one text: label text, spin box value, check state or combo items.
QString shown(const fingerForm& p, const QString& what)
{
    const bool style = what.endsWith(".style");
    const QString name = style ? what.chopped(6) : what;
    auto* w = p.findChild<QWidget*>(name);
    if (!w)
        return "<missing " + name + ">";
    if (style)
        return w->styleSheet();
    if (auto* l = qobject_cast<QLabel*>(w))
        return l->text();
    if (auto* s = qobject_cast<QSpinBox*>(w))
        return QString::number(s->value());
    if (auto* c = qobject_cast<QCheckBox*>(w))
        return c->isChecked() ? "checked" : "unchecked";
    if (auto* c = qobject_cast<QComboBox*>(w)) {
        QStringList items;
        for (int i = 0; i < c->count(); ++i)
            items << c->itemText(i);
        return items.join('|');
    }
    return "<unknown widget>";
}

QStringList warningTexts()
{
    QStringList out;
    for (const auto& w : WarningRecorder::warnings())
        out << w.first + "|" + w.second;
    return out;
}
}  // namespace

class tst_panelAnswers : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { registerViews(); }
    void init() { WarningRecorder::clear(); }

    void answers_data();
    void answers();
    void tableAnswers_data();
    void tableAnswers();
    void tableHasOnlyItsColumn();
    void calibrationColumn_data();
    void calibrationColumn();
    void rangeAckReReadsAfter1s();
    void reReadDoesNothingOncePanelGone();
    void unknownCodeChangesNothing();
    void answersNeedingARecordWithoutOne();
    void malformedAnswersNeverCrash();
    void answersGoOnlyToTheirPanel();
};

void tst_panelAnswers::answers_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QStringList>("fields");  // "objectName=text"
    QTest::addColumn<QStringList>("warnings");

    auto ack = [](uint8_t code, uint8_t status) {
        return answer(code, QByteArray::fromHex("000000") + char(status) + QByteArray(1, 0));
    };
    QTest::newRow("channel threshold rejected") << request(0x69) << ack(0x69, 3) << QStringList()
                                                << QStringList{"命令错误|设置通道阈值:3"};
    QTest::newRow("channel threshold taken") << request(0x69) << ack(0x69, 0) << QStringList() << QStringList();
    QTest::newRow("factory reset rejected") << request(0x76) << ack(0x76, 1) << QStringList()
                                            << QStringList{"命令错误|恢复出厂设置:1"};
    QTest::newRow("send type rejected") << request(0x7F) << ack(0x7F, 255) << QStringList()
                                        << QStringList{"命令错误|设置发送类型:255"};
    QTest::newRow("short acknowledgement counts as taken") << request(0x69) << answer(0x69, QByteArray(1, 9))
                                                           << QStringList() << QStringList();
    QTest::newRow("mode, plain acknowledgement") << request(0x56) << answer(0x56, QByteArray()) << QStringList()
                                                 << QStringList();
    QTest::newRow("address changed") << request(0x70, QByteArray::fromHex("00000021")) << ack(0x70, 0x21)
                                     << QStringList() << QStringList();
    QTest::newRow("address refused") << request(0x70, QByteArray::fromHex("00000021")) << ack(0x70, 0x60)
                                     << QStringList() << QStringList{"命令错误|设置IIC地址"};
    QTest::newRow("temperature 25.34") << request(0x74) << answer(0x74, QByteArray::fromHex("e609000000"))
                                       << QStringList{"lbTemp=25.34"} << QStringList();
    QTest::newRow("temperature 0") << request(0x74) << answer(0x74, QByteArray(5, 0)) << QStringList{"lbTemp=0.00"}
                                   << QStringList();
    QTest::newRow("type answer") << request(0xA6) << answer(0xA6, QByteArray::fromHex("0102031100"))
                                 << QStringList{"lbVersion=1.2.3"} << QStringList();
    QTest::newRow("firmware information")
        << request(0xA0) << answer(0xA0, QByteArray("2024-01-02\0" "12:34\0\0\0", 19))
        << QStringList{"lbVersionDate=2024-01-02", "lbVersionTime=12:34"} << QStringList();
    QTest::newRow("firmware information, fields without zero")
        << request(0xA0) << answer(0xA0, QByteArray("Dec 10 2025" "08:15:00", 19))
        << QStringList{"lbVersionDate=Dec 10 2025", "lbVersionTime=08:15:00"} << QStringList();
    QTest::newRow("firmware information, short answer")
        << request(0xA0) << answer(0xA0, QByteArray("Dec 10", 6))
        << QStringList{"lbVersionDate=Dec 10", "lbVersionTime="} << QStringList();
    QTest::newRow("serial number") << request(0xA4) << answer(0xA4, QByteArray("\x05" "AB123", 6))
                                   << QStringList{"lbSN=AB123"} << QStringList();
    QTest::newRow("serial number of length 0") << request(0xA4) << answer(0xA4, QByteArray("\x00" "AB", 3))
                                               << QStringList{"lbSN="} << QStringList();
    QTest::newRow("serial number up to its zero") << request(0xA4) << answer(0xA4, QByteArray("\x06" "AB\0CDE", 7))
                                                  << QStringList{"lbSN=AB"} << QStringList();
    QTest::newRow("serial length beyond the answer") << request(0xA4) << answer(0xA4, QByteArray("\xff" "XY7", 4))
                                                     << QStringList{"lbSN=XY7"} << QStringList();
    QTest::newRow("serial of 60 bytes keeps 49")
        << request(0xA4) << answer(0xA4, QByteArray(1, 60) + QByteArray(60, 'S'))
        << QStringList{"lbSN=" + QString(49, 'S')} << QStringList();
    QTest::newRow("pressure release") << request(0x44) << answer(0x44, u32le(1234) + char(5))
                                      << QStringList{"spbPressReleaseThreshold=1234", "spbPressReleaseThresholdScale=5"}
                                      << QStringList();
    QTest::newRow("proximity release") << request(0x46) << answer(0x46, u32le(4321) + char(7))
                                       << QStringList{"spbProxReleaseThreshold=4321", "spbProxReleaseThresholdScale=7"}
                                       << QStringList();
    QTest::newRow("auto dac at power-up on") << request(0x41) << answer(0x41, QByteArray::fromHex("0000000100"))
                                             << QStringList{"chkbtnAutoDacPowerUp=checked"} << QStringList();
    QTest::newRow("clear without proximity") << request(0x5C) << answer(0x5C, QByteArray(1, 1) + u32le(300))
                                             << QStringList{"chkbtnProxClearTouch=checked", "spbProxClearTouchTimeout=300"}
                                             << QStringList();
    QTest::newRow("run time") << request(0xAA) << answer(0xAA, QByteArray(1, 0) + u32le(86400))
                              << QStringList{"lbRunTime=86400"} << QStringList();
    QTest::newRow("calibration list 0.5 1 2")
        << request(0x6D) << answer(0x6D, QByteArray(1, 3) + QByteArray::fromHex("0000003f" "0000803f" "00000040"))
        << QStringList{"cbbCaliList=0.5|1.0|2.0"} << QStringList();
    QTest::newRow("calibration list empty") << request(0x6D) << answer(0x6D, QByteArray(1, 0))
                                            << QStringList{"cbbCaliList="} << QStringList();
    QTest::newRow("calibration list count beyond the answer")
        << request(0x6D) << answer(0x6D, QByteArray(1, 100) + QByteArray::fromHex("0000003f" "0000803f"))
        << QStringList{"cbbCaliList=0.5|1.0"} << QStringList();
    QTest::newRow("calibration list negative count") << request(0x6D) << answer(0x6D, QByteArray(1, char(0x80)) + u32le(1))
                                                     << QStringList{"cbbCaliList="} << QStringList();
    // Type 20: 6 pressure channels and 2 force points are calibrated.
    QTest::newRow("calibration state all good")
        << request(0x6F) << answer(0x6F, QByteArray(8, 0))
        << QStringList{"lbCaliTableState=标定参数正常", "lbCaliTableState.style=QLabel#lbCaliTableState{color:black}"}
        << QStringList();
    QTest::newRow("calibration state 0 1 1 4")
        << request(0x6F) << answer(0x6F, QByteArray::fromHex("0001010400000000"))
        << QStringList{"lbCaliTableState=未标定:1,2,    一致性差:3,    ",
                       "lbCaliTableState.style=QLabel#lbCaliTableState{color:red}"}
        << QStringList();
    QTest::newRow("calibration state unknown 9 on channel 0")
        << request(0x6F) << answer(0x6F, QByteArray::fromHex("0900000000000000"))
        << QStringList{"lbCaliTableState=未知:0,    ", "lbCaliTableState.style=QLabel#lbCaliTableState{color:red}"}
        << QStringList();
    QTest::newRow("calibration state, every group in order")
        << request(0x6F) << answer(0x6F, QByteArray::fromHex("0607030504020100"))
        << QStringList{"lbCaliTableState=未标定:6,    错误:5,    一致性差:4,    变化小:3,    未知:1,    检查固件:2,    "
                       "0.1N不存在:0,    "}
        << QStringList();
    QTest::newRow("calibration state, short answer") << request(0x6F) << answer(0x6F, QByteArray::fromHex("0202"))
                                                     << QStringList{"lbCaliTableState=错误:0,1,    "} << QStringList();
}

void tst_panelAnswers::answers()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, answer);
    QFETCH(QStringList, fields);
    QFETCH(QStringList, warnings);
    auto p = panelFor(20);
    RequestLog log(p.get());
    p->sl_cmdRsp(0, 0x60, request, answer);
    for (const QString& f : fields) {
        const int eq = f.indexOf('=');
        QCOMPARE(shown(*p, f.left(eq)), f.mid(eq + 1));
    }
    QCOMPARE(warningTexts(), warnings);
    QCOMPARE(log.take(), QStringList());
}

void tst_panelAnswers::tableAnswers_data()
{
    // Type 20 has 7 channels; every table column exists for these rows.
    QTest::addColumn<uint8_t>("code");
    QTest::addColumn<int>("payloadLen");
    QTest::addColumn<int>("column");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("thresholds 4n+6") << uint8_t(0x68) << 28 << 0 << true;
    QTest::newRow("thresholds 4n+9") << uint8_t(0x68) << 31 << 0 << true;
    QTest::newRow("thresholds 4n+5") << uint8_t(0x68) << 27 << 0 << false;
    QTest::newRow("frequency n+6") << uint8_t(0x51) << 7 << 1 << true;
    QTest::newRow("frequency n+7") << uint8_t(0x51) << 8 << 1 << false;
    QTest::newRow("range n+6") << uint8_t(0x53) << 7 << 2 << true;
    QTest::newRow("range n+5") << uint8_t(0x53) << 6 << 2 << false;
    QTest::newRow("filter 6n+6") << uint8_t(0x5A) << 42 << 5 << true;
    QTest::newRow("filter 6n+7") << uint8_t(0x5A) << 43 << 5 << true;
    QTest::newRow("filter 6n+5") << uint8_t(0x5A) << 41 << 5 << false;
    QTest::newRow("timeout 4n+6") << uint8_t(0x5E) << 28 << 6 << true;
    QTest::newRow("timeout 4n+2") << uint8_t(0x5E) << 24 << 6 << false;
    QTest::newRow("dac 4n+6") << uint8_t(0x4A) << 28 << 9 << true;
    QTest::newRow("dac longer") << uint8_t(0x4A) << 40 << 9 << true;
    QTest::newRow("dac shorter") << uint8_t(0x4A) << 27 << 9 << false;
}

void tst_panelAnswers::tableAnswers()
{
    QFETCH(uint8_t, code);
    QFETCH(int, payloadLen);
    QFETCH(int, column);
    QFETCH(bool, accepted);
    auto p = panelFor(20);
    QTableWidget* t = p->ui->tbwThreshold;
    t->setColumnCount(10);
    QByteArray payload;
    for (int i = 0; i < payloadLen; ++i)
        payload.append(char(i + 1));
    p->sl_cmdRsp(0, 0x60, request(code), answer(code, payload));
    QCOMPARE(t->cellWidget(0, column) != nullptr, accepted);
    if (!accepted)
        return;
    // Row 6's value: the last channel of each layout.
    const QMap<uint8_t, QString> last{{0x68, QString::number(0x1c1b1a19)}, {0x51, "7"}, {0x53, "7"},
                                      {0x5E, QString::number(0x1c1b1a19)}, {0x4A, QString::number(0x1c1b)}};
    if (code == 0x5A) {
        QCOMPARE(cellText(t, 6, 3), QString("7"));
        QCOMPARE(cellText(t, 6, 4), QString("14"));
        float f;
        const uint32_t bits = 0x2a292827u;
        memcpy(&f, &bits, 4);
        QCOMPARE(cellText(t, 6, 5), QString::number(f, 'g', 6));
    } else {
        QCOMPARE(cellText(t, 6, column), last.value(code));
    }
    if (code == 0x4A) {
        QCOMPARE(cellText(t, 6, 7), QString::number(0x19));
        QCOMPARE(cellText(t, 6, 8), QString::number(0x1a));
        QVERIFY(!t->cellWidget(6, 9)->isEnabled());
    }
}

void tst_panelAnswers::tableHasOnlyItsColumn()
{
    // As built the table has its one threshold column: other answers find no cell to fill.
    auto p = panelFor(20);
    QTableWidget* t = p->ui->tbwThreshold;
    QCOMPARE(t->columnCount(), 1);
    QCOMPARE(t->horizontalHeaderItem(0)->text(), QString("阈值"));
    p->sl_cmdRsp(0, 0x60, request(0x51), answer(0x51, QByteArray(7, 3)));
    p->sl_cmdRsp(0, 0x60, request(0x5A), answer(0x5A, QByteArray(42, 3)));
    p->sl_cmdRsp(0, 0x60, request(0x4A), answer(0x4A, QByteArray(28, 3)));
    p->sl_cmdRsp(0, 0x60, request(0x68), answer(0x68, QByteArray(28, 0)));
    QCOMPARE(t->findChildren<QLineEdit*>().size(), 7);
    QCOMPARE(cellText(t, 3, 0), QString("0"));
    // A second answer replaces the editors instead of piling them up.
    p->sl_cmdRsp(0, 0x60, request(0x68), answer(0x68, u32le(5) + QByteArray(24, 0)));
    QCOMPARE(cellText(t, 0, 0), QString("5"));
    QTRY_COMPARE(t->findChildren<QLineEdit*>().size(), 7);
}

void tst_panelAnswers::calibrationColumn_data()
{
    QTest::addColumn<QVector<uint32_t>>("values");
    QTest::addColumn<QStringList>("colours");
    QTest::newRow("0 0 5 3") << QVector<uint32_t>{0, 0, 5, 3} << QStringList{"yellow", "yellow", "red", "red"};
    QTest::newRow("10 20 30") << QVector<uint32_t>{10, 20, 30} << QStringList{"white", "white", "white"};
    QTest::newRow("7 7") << QVector<uint32_t>{7, 7} << QStringList{"red", "red"};
    QTest::newRow("values compare unsigned")
        << QVector<uint32_t>{1, 0x80000000u, 0xF0000000u} << QStringList{"white", "white", "white"};
}

void tst_panelAnswers::calibrationColumn()
{
    QFETCH(QVector<uint32_t>, values);
    QFETCH(QStringList, colours);
    auto p = panelFor(20);  // 26 points per channel
    // The remaining points rise above every test value, so they colour nothing of the first ones.
    QVector<uint32_t> column = values;
    while (column.size() < 26)
        column.append(0xFFFFFF00u + uint32_t(column.size()));
    QByteArray payload;
    for (uint32_t v : column)
        payload += u32le(v);
    p->sl_cmdRsp(0, 0x60, request(0x66, QByteArray(1, 1)), answer(0x66, payload));
    QTableWidget* t = p->ui->tbwCaliTable;
    for (int r = 0; r < values.size(); ++r) {
        auto* e = qobject_cast<QLineEdit*>(t->cellWidget(r, 1));
        QVERIFY(e);
        QCOMPARE(e->objectName(), "le" + QString::number(r));
        QCOMPARE(e->text(), QString::number(values[r]));
        QCOMPARE(e->styleSheet(), "background-color: " + colours[r] + ";");
    }
    // The channel's column only; a column that does not fit the model changes nothing.
    QVERIFY(!t->cellWidget(0, 0));
    p->sl_cmdRsp(0, 0x60, request(0x66, QByteArray(1, 8)), answer(0x66, payload));
    p->sl_cmdRsp(0, 0x60, request(0x66, QByteArray(1, 0)), answer(0x66, payload.left(100)));
    QVERIFY(!t->cellWidget(0, 0));
}

void tst_panelAnswers::rangeAckReReadsAfter1s()
{
    constexpr qint64 kReReadMs = 1000;
    auto p = panelFor(20);
    RequestLog log(p.get());
    p->sl_cmdRsp(0, 0x60, request(0x50), answer(0x50, QByteArray::fromHex("0000000200")));
    QCOMPARE(warningTexts(), QStringList{"命令错误|设置激励频率:2"});
    QCOMPARE(log.lines, QStringList());
    // The table is read again a second after the answer, not before.
    QTRY_COMPARE_WITH_TIMEOUT(log.lines, QStringList{req("68", 34)}, kHangMs);
    QVERIFY2(log.atMs.first() >= kReReadMs, qPrintable(QString("read again after %1 ms").arg(log.atMs.first())));
    log.take();
    // Two answers in quick succession: two re-reads.
    p->sl_cmdRsp(0, 0x60, request(0x52), answer(0x52, QByteArray(5, 0)));
    p->sl_cmdRsp(0, 0x60, request(0x52), answer(0x52, QByteArray(5, 0)));
    QTRY_COMPARE_WITH_TIMEOUT(log.lines.size(), 2, kHangMs);
    for (qint64 ms : log.atMs)
        QVERIFY2(ms >= kReReadMs, qPrintable(QString("read again after %1 ms").arg(ms)));
}

void tst_panelAnswers::reReadDoesNothingOncePanelGone()
{
    // A panel that stays gets the same answer right after the one that goes: once its re-read
    // came, the gone panel's was due as well.
    auto* p = panelFor(20).release();
    auto witness = panelFor(20);
    RequestLog witnessLog(witness.get());
    int sent = 0;
    connect(p, &fingerForm::si_cmdReq1, [&sent] { ++sent; });
    p->sl_cmdRsp(0, 0x60, request(0x52), answer(0x52, QByteArray(5, 0)));
    witness->sl_cmdRsp(0, 0x60, request(0x52), answer(0x52, QByteArray(5, 0)));
    delete p;
    QTRY_COMPARE_WITH_TIMEOUT(witnessLog.lines, QStringList{req("68", 34)}, kHangMs);
    QCOMPARE(sent, 0);
}

void tst_panelAnswers::unknownCodeChangesNothing()
{
    auto p = panelFor(20);
    RequestLog log(p.get());
    QTest::ignoreMessage(QtDebugMsg, "rsp cmd not found");
    p->sl_cmdRsp(0, 0x60, request(0x77), answer(0x77, QByteArray::fromHex("0000000300")));
    QCOMPARE(warningTexts(), QStringList());
    QCOMPARE(log.take(), QStringList());
    QTest::ignoreMessage(QtDebugMsg, "cmd req len err");
    p->sl_cmdRsp(0, 0x60, QByteArray::fromHex("aa55"), answer(0x69, QByteArray(5, 1)));
    QTest::ignoreMessage(QtDebugMsg, "cmd req len err");
    p->sl_cmdRsp(0, 0x60, request(0x69), QByteArray::fromHex("55aa01"));
    QCOMPARE(warningTexts(), QStringList());
}

void tst_panelAnswers::answersNeedingARecordWithoutOne()
{
    // No view at all, and a view without a record: answers that need the record are ignored.
    for (uint8_t prg : {uint8_t(1), uint8_t(103)}) {
        auto p = panelFor(prg);
        QVERIFY(!p->ff || !p->ff->fingerParam);
        p->ui->tbwThreshold->setColumnCount(10);
        p->ui->tbwThreshold->setRowCount(7);
        for (uint8_t code : {0x4A, 0x51, 0x53, 0x5A, 0x5E, 0x66, 0x68, 0x6F})
            p->sl_cmdRsp(0, 0x60, request(code), answer(code, QByteArray(28, 1)));
        QCOMPARE(p->ui->tbwThreshold->findChildren<QLineEdit*>().size(), 0);
        QCOMPARE(p->ui->lbCaliTableState->text(), QString());
        // Those that need none still work.
        p->sl_cmdRsp(0, 0x60, request(0x74), answer(0x74, QByteArray::fromHex("e609000000")));
        QCOMPARE(p->ui->lbTemp->text(), QString("25.34"));
    }
}

void tst_panelAnswers::malformedAnswersNeverCrash()
{
    // Every code, with answers of every short length and random contents, in panels with a view,
    // with a view without record, and without a view. Run under the sanitizers.
    QRandomGenerator rng(20251210);
    for (uint8_t prg : {uint8_t(20), uint8_t(43), uint8_t(103), uint8_t(1)}) {
        auto p = panelFor(prg);
        p->ui->tbwThreshold->setColumnCount(10);
        p->ui->tbwCaliMaxAuto->setColumnCount(2);
        for (int code = 0; code < 256; ++code) {
            for (int len : {0, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 25, 34, 110, 300}) {
                QByteArray rsp(len, '\0');
                for (char& c : rsp)
                    c = char(rng.bounded(256));
                QByteArray req = request(uint8_t(code), QByteArray(1, char(rng.bounded(256))));
                if (len == 3)
                    req.truncate(3);
                p->sl_cmdRsp(0, 0x60, req, rsp);
                // Overlong length and count bytes right after the header.
                if (len > 5) {
                    rsp[4] = char(0xFF);
                    p->sl_cmdRsp(0, 0x60, req, rsp);
                    rsp[4] = char(0x7F);
                    p->sl_cmdRsp(0, 0x60, req, rsp);
                }
            }
        }
        // The controls that read what the answers filled in.
        p->ui->pbtnSetPressThreshold->click();
        p->ui->pbtnCaliClear->click();
        p->ui->pbtnCaliSave->click();
    }
    QVERIFY(true);
}

void tst_panelAnswers::answersGoOnlyToTheirPanel()
{
    // Two panels on bus 0: both receive every answer, only the addressed one shows it.
    auto a = panelFor(20, 0, 0x21);
    auto b = panelFor(20, 0, 0x22);
    auto other = panelFor(20, 1, 0x21);
    for (fingerForm* p : {a.get(), b.get(), other.get()})
        p->sl_cmdRsp(0, 0x21, request(0x74), answer(0x74, QByteArray::fromHex("e609000000")));
    QCOMPARE(a->ui->lbTemp->text(), QString("25.34"));
    QCOMPARE(b->ui->lbTemp->text(), QString("0"));
    QCOMPARE(other->ui->lbTemp->text(), QString("0"));
    for (fingerForm* p : {a.get(), b.get(), other.get()})
        p->sl_cmdRsp(0, 0x21, request(0x69), answer(0x69, QByteArray::fromHex("0000000300")));
    QCOMPARE(warningTexts().size(), 1);
}

TACTILE_TEST_MAIN(tst_panelAnswers)
#include "tst_panelAnswers.moc"
