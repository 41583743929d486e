// The panel's view choice, value rows, frame path, frame rate label and CSV log.

#include "tst_panelFixture.h"
#include "ui_dataForm.h"
#include "ui_fingerForm.h"

#include "catalogueFrames.h"
#include "class_csvLog.h"
#include "dataForm.h"
#include "frameClock.h"
#include "hooks.h"
#include "testMain.h"
#include "warningRecorder.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QRegularExpression>
#include <QSignalSpy>

using namespace panelTest;

namespace {
QStringList rowNames(const fingerForm& p)
{
    QStringList names;
    for (const dataForm* row : p.dataFormList)
        names << row->ui->lbIdx->text();
    return names;
}

QStringList names(const QString& prefix, int count)
{
    QStringList out;
    for (int i = 0; i < count; ++i)
        out << prefix + QString::number(i);
    return out;
}

QStringList csvFiles(const fingerForm& p)
{
    return QDir(p.saveDir).entryList({"*.csv"}, QDir::Files, QDir::Name);
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

void feed(fingerForm& p, const QByteArray& frame)
{
    p.sl_updateData(p.infIdx, p.addr, catalogueFrames::toPack(frame));
}

QByteArray frame31(uint8_t seq, uint32_t first)
{
    sim::FrameValues v;
    v.channels = {first, 22, 33, 44};
    v.points = {{1.5f, 0.5f, 90}};
    v.status = 7;
    return catalogueFrames::frameFor(31, v, seq);
}

RecordingView* viewOf(const fingerForm& p)
{
    return dynamic_cast<RecordingView*>(p.ff);
}

bool showAndWait(QWidget& w)
{
    w.resize(600, 700);
    w.show();
    return QTest::qWaitForWindowExposed(&w);
}

QByteArray corrupted(QByteArray frame)
{
    frame[frame.size() - 1] = char(frame[frame.size() - 1] + 1);
    return frame;
}

}  // namespace

class tst_panelData : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        registerViews();
        qRegisterMetaType<uint8_t>("uint8_t");
    }
    void init()
    {
        WarningRecorder::clear();
        QDir(hooks::programDir() + "/data").removeRecursively();
    }

    void form_data();
    void form();
    void dataFolderBesideTheProgram();
    void minimumSizeIsThePanels_data();
    void minimumSizeIsThePanels();
    void viewChoice_data();
    void viewChoice();
    void rowsFollowTheRecord_data();
    void rowsFollowTheRecord();
    void reconnectRebuildsOnce();
    void touchColouring();
    void negativeChannelStaysBlack();
    void framePath();
    void burstShownOnceAtItsLastFrame();
    void hiddenPanelShowsLatestWhenShown();
    void coveredPanelWaitsItsTurn();
    void flushShowsOnlyWhatIsNew();
    void frameRateLabel();
    void resetForgetsTheView();
    void csvHeaderAndRows();
    void csvRowTimeIsTheReadTime();
    void csvWithProximityColumns();
    void csvOffCreatesNothing();
    void csvNewFileAfterSwitchingOn();
    void csvUnopenableFileWarns();
    void csvKeepsRowsWhenPanelGoes();
    void csvLaterWriteFailureReported();
    void csvTwoPanelsTwoFiles();
    void loggingKeepsEveryFrame();
};

void tst_panelData::form_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("parentName");
    QTest::addColumn<QString>("text");
    QTest::newRow("title box") << "gpbTitle" << "QGroupBox" << "fingerForm" << "GroupBox";
    QTest::newRow("save switch") << "chkbtnSave" << "QCheckBox" << "gpbTitle" << "保存";
    QTest::newRow("version label") << "label_6" << "QLabel" << "tab" << "固件版本";
    QTest::newRow("rate label") << "label_5" << "QLabel" << "tab" << "采样率(Hz)";
    QTest::newRow("firmware date") << "label_14" << "QLabel" << "widget_2" << "固件日期";
    QTest::newRow("run time") << "lbRunTime" << "QLabel" << "tab" << "TextLabel";
    QTest::newRow("show data") << "chkbtnShowData" << "QCheckBox" << "tab" << "数据显示";
    QTest::newRow("model view frame") << "widget" << "QWidget" << "tab" << "";
    QTest::newRow("value rows") << "sawgDataList" << "QScrollArea" << "tab_4" << "";
    QTest::newRow("soft reset") << "pbtnReset" << "QPushButton" << "scrollAreaWidgetContents" << "复位";
    QTest::newRow("factory") << "pbtnSetFactor" << "QPushButton" << "scrollAreaWidgetContents" << "恢复出厂参数";
    QTest::newRow("send type label") << "label_43" << "QLabel" << "scrollAreaWidgetContents" << "输出类型";
    QTest::newRow("address set") << "pbtnSetIICAddr" << "QPushButton" << "scrollAreaWidgetContents" << "确定";
    QTest::newRow("mode") << "rbtnModeHighBd" << "QRadioButton" << "groupBox_7" << "高灵敏度模式";
    QTest::newRow("proximity clear") << "chkbtnProxClearTouch" << "QCheckBox" << "groupBox_6" << "无接近时清除压力";
    QTest::newRow("power-up dac") << "chkbtnAutoDacPowerUp" << "QCheckBox" << "scrollAreaWidgetContents"
                                  << "上电执行通道值调整";
    QTest::newRow("temperature") << "lbTemp" << "QLabel" << "groupBox_5" << "0";
    QTest::newRow("parameters read") << "pbtnGetThreshold" << "QPushButton" << "groupBox" << "读取";
    QTest::newRow("snr") << "label_8" << "QLabel" << "groupBox_3" << "信噪比 ";
    QTest::newRow("countdown") << "lbAutoThresholdTime" << "QLabel" << "groupBox_3" << "倒计时：0秒";
    QTest::newRow("release") << "label_17" << "QLabel" << "groupBox_4" << "接近";
    QTest::newRow("calibration state") << "lbCaliTableState" << "QLabel" << "scrollAreaWidgetContents_2" << "";
    QTest::newRow("calibration group") << "gpbCaliChGroup" << "QGroupBox" << "scrollAreaWidgetContents_6"
                                       << "三维力通道组";
    QTest::newRow("export") << "pbtnCaliSave" << "QPushButton" << "widget_3" << "导出";
}

void tst_panelData::form()
{
    QFETCH(QString, name);
    QFETCH(QString, className);
    QFETCH(QString, parentName);
    QFETCH(QString, text);
    QWidget host;
    Ui::fingerForm ui;
    ui.setupUi(&host);
    QCOMPARE(host.objectName(), QString("fingerForm"));
    QCOMPARE(host.size(), QSize(570, 733));
    QCOMPARE(ui.tabWidget->currentIndex(), 2);
    auto* w = host.findChild<QWidget*>(name);
    QVERIFY(w);
    QCOMPARE(QString(w->metaObject()->className()), className);
    QCOMPARE(w->parentWidget()->objectName(), parentName);
    QString shown;
    if (auto* l = qobject_cast<QLabel*>(w))
        shown = l->text();
    else if (auto* b = qobject_cast<QAbstractButton*>(w))
        shown = b->text();
    else if (auto* g = qobject_cast<QGroupBox*>(w))
        shown = g->title();
    QCOMPARE(shown, text);

    QStringList tabs;
    for (int i = 0; i < ui.tabWidget->count(); ++i)
        tabs << ui.tabWidget->widget(i)->objectName() + "=" + ui.tabWidget->tabText(i);
    QCOMPARE(tabs, QStringList({"tab=信息", "tab_4=数据", "tab_3=设置", "tab_2=标定"}));
    QStringList sendTypes;
    for (int i = 0; i < ui.cbbSetSendType->count(); ++i)
        sendTypes << ui.cbbSetSendType->itemText(i);
    QCOMPARE(sendTypes, QStringList({"原始值", "滤波值", "基值", "差值", "力"}));
    QCOMPARE(ui.spbIICAddr->text(), QString("0x6f"));
    QCOMPARE(ui.spbIICAddr->minimum(), 1);
    QCOMPARE(ui.spbIICAddr->maximum(), 111);
    QCOMPARE(ui.spbThresholdSNR->value(), 3);
    QCOMPARE(ui.spbProxClearTouchTimeout->suffix(), QString("ms"));
    QCOMPARE(ui.lbVersion->font().pointSize(), 12);
    QCOMPARE(ui.lbRunTime->font().pointSize(), 15);
    QVERIFY(ui.chkbtnShowData->isChecked());
    QVERIFY(!ui.chkbtnSave->isChecked());
    QVERIFY(ui.rbtnModeNor->isChecked());
    QCOMPARE(ui.tbwThreshold->minimumHeight(), 200);
    QCOMPARE(ui.verticalLayout_3->stretch(7), 1);
    QCOMPARE(ui.gl->count(), 0);
}

void tst_panelData::dataFolderBesideTheProgram()
{
    fingerForm p(0, 0x60);
    QCOMPARE(p.saveDir, hooks::programDir() + "/data");
    QVERIFY(QDir(p.saveDir).exists());
    QCOMPARE(p.ui->tabWidget->count(), 3);
    QCOMPARE(p.ui->tabWidget->currentIndex(), 0);
    QVERIFY(p.testAttribute(Qt::WA_DeleteOnClose));
}

void tst_panelData::minimumSizeIsThePanels_data()
{
    QTest::addColumn<QSize>("viewMinimum");
    QTest::newRow("no view") << QSize(0, 0);
    QTest::newRow("a small view") << QSize(200, 250);
    QTest::newRow("a view wider and taller than the panel's controls") << QSize(900, 800);
}

// The window is sized from the panel's form alone; a real panel, shown, needs exactly that.
void tst_panelData::minimumSizeIsThePanels()
{
    QFETCH(QSize, viewMinimum);
    const QSize fromForm = fingerForm::minimumSizeFor(viewMinimum);
    fingerForm p(0, 0x60);
    auto* view = new QWidget(&p);
    view->setMinimumSize(viewMinimum);
    p.ui->gl->addWidget(view);
    p.show();
    QVERIFY(QTest::qWaitForWindowExposed(&p));
    QCOMPARE(fromForm, p.minimumSizeHint());
}

void tst_panelData::viewChoice_data()
{
    QTest::addColumn<uint8_t>("prg");
    QTest::addColumn<int>("packLen");
    QTest::addColumn<int>("viewClass");   // 0: no view
    QTest::addColumn<int>("recordType");  // the record the view decodes with; 0: none
    QTest::newRow("20 itself") << uint8_t(20) << 0 << 20 << 20;
    QTest::newRow("60 by view 20, own record") << uint8_t(60) << 0 << 20 << 60;
    QTest::newRow("64 by view 50, own record") << uint8_t(64) << 0 << 50 << 64;
    QTest::newRow("113 by view 19, own record") << uint8_t(113) << 0 << 19 << 113;
    QTest::newRow("104 by view 54, its record") << uint8_t(104) << 0 << 54 << 54;
    QTest::newRow("103 by view 102, no record") << uint8_t(103) << 0 << 102 << 0;
    QTest::newRow("255 with 62 bytes is type 2") << uint8_t(255) << 62 << 2 << 2;
    QTest::newRow("255 with 36 bytes is type 28") << uint8_t(255) << 36 << 28 << 28;
    QTest::newRow("255 with 40 bytes") << uint8_t(255) << 40 << 0 << 0;
    QTest::newRow("1 has no view") << uint8_t(1) << 0 << 0 << 0;
    QTest::newRow("200 has no view") << uint8_t(200) << 0 << 0 << 0;
}

void tst_panelData::viewChoice()
{
    QFETCH(uint8_t, prg);
    QFETCH(int, packLen);
    QFETCH(int, viewClass);
    QFETCH(int, recordType);
    fingerForm p(0, 0x60);
    p.sl_connectedFinger(0, 0x60, sensor(prg, 0, 0x60, packLen));
    auto* view = dynamic_cast<RecordingView*>(p.ff);
    QCOMPARE(view ? int(view->classNumber) : 0, viewClass);
    QCOMPARE(p.ff && p.ff->fingerParam ? int(p.ff->fingerParam->prg) : 0, recordType);
    if (recordType == 0)
        QCOMPARE(p.dataFormList.size(), 0);
    if (recordType == 60) {
        // A type-60 sensor's own 39-byte frames decode and fill its rows.
        QSignalSpy sent(&p, &fingerForm::si_sendDataStrList);
        feed(p, catalogueFrames::sampleFrame(60));
        QCOMPARE(sent.size(), 1);
        QCOMPARE(p.dataFormList.size(), 12);
        QCOMPARE(p.ff->dataList.size(), 12);
    }
}

void tst_panelData::rowsFollowTheRecord_data()
{
    QTest::addColumn<uint8_t>("prg");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<int>("thresholdRows");
    QTest::newRow("type 17") << uint8_t(17)
                             << names("通道", 16) + QStringList{"法向力0", "切向力0", "方向0", "法向力1", "切向力1", "方向1",
                                                               "自电容接近0", "自电容接近1", "互电容接近0", "状态"}
                             << 16;
    QTest::newRow("type 31") << uint8_t(31)
                             << names("通道", 4) + QStringList{"法向力0", "切向力0", "方向0", "状态"} << 4;
    QTest::newRow("type 2, no status") << uint8_t(2)
                                       << names("通道", 8) + QStringList{"法向力0", "切向力0", "方向0", "自电容接近0"} << 8;
    QTest::newRow("no record") << uint8_t(103) << QStringList() << 0;
}

void tst_panelData::rowsFollowTheRecord()
{
    QFETCH(uint8_t, prg);
    QFETCH(QStringList, rows);
    QFETCH(int, thresholdRows);
    auto p = panelFor(prg);
    QCOMPARE(rowNames(*p), rows);
    for (int i = 0; i < p->dataFormList.size(); ++i)
        QCOMPARE(int(p->dataFormList[i]->idx), i);
    QTableWidget* t = p->ui->tbwThreshold;
    QCOMPARE(t->rowCount(), thresholdRows);
    if (thresholdRows > 0) {
        QCOMPARE(t->columnCount(), 1);
        QCOMPARE(t->verticalHeaderItem(thresholdRows - 1)->text(), "通道" + QString::number(thresholdRows - 1));
    }
    if (p->ff && p->ff->fingerParam) {
        feed(*p, catalogueFrames::sampleFrame(prg));
        p->flushDisplay();
        QCOMPARE(p->dataFormList.size(), p->ff->dataList.size());
        for (int i = 0; i < rows.size(); ++i)
            QCOMPARE(p->dataFormList[i]->ui->lbData->text(), p->ff->dataList[i]);
    }
}

void tst_panelData::reconnectRebuildsOnce()
{
    auto p = panelFor(17);
    p->sl_connectedFinger(0, 0x60, sensor(17));
    int views = 0;
    for (QWidget* w : p->findChildren<QWidget*>())
        views += dynamic_cast<RecordingView*>(w) != nullptr;
    QCOMPARE(views, 1);
    QCOMPARE(p->dataFormList.size(), 26);
    QCOMPARE(p->findChildren<dataForm*>().size(), 26);
    // Another bus or address is not this panel's.
    p->sl_connectedFinger(1, 0x60, sensor(31, 1));
    p->sl_connectedFinger(0, 0x61, sensor(31, 0, 0x61));
    QCOMPARE(p->dataFormList.size(), 26);
}

void tst_panelData::touchColouring()
{
    auto p = panelFor(17);
    const finger_param_ts* r = findFingerParam(17);
    sim::FrameValues v = catalogueFrames::sampleValues(*r);
    v.channels[0] = 12345;
    v.channels[1] = 12344;
    feed(*p, catalogueFrames::frameFor(17, v));
    p->flushDisplay();
    QLabel* ch0 = p->dataFormList[0]->ui->lbData;
    QLabel* ch1 = p->dataFormList[1]->ui->lbData;
    QCOMPARE(ch0->text(), QString("12345"));
    QCOMPARE(ch0->styleSheet(), QString("color: rgb(255, 0, 0);"));
    QCOMPARE(ch1->styleSheet(), QString("color: rgb(0, 0, 0);"));
    // Force, proximity and status rows keep their style.
    for (int i = 16; i < 26; ++i)
        QCOMPARE(p->dataFormList[i]->ui->lbData->styleSheet(), QString());
    // The colour follows the touch bit from frame to frame.
    v.channels[0] = 12344;
    v.channels[1] = 1;
    feed(*p, catalogueFrames::frameFor(17, v, 2));
    p->flushDisplay();
    QCOMPARE(ch0->styleSheet(), QString("color: rgb(0, 0, 0);"));
    QCOMPARE(ch1->styleSheet(), QString("color: rgb(255, 0, 0);"));
    QCOMPARE(ch1->text(), QString("1"));
}

void tst_panelData::negativeChannelStaysBlack()
{
    auto p = panelFor(2);  // 4-byte channel values read as signed
    const finger_param_ts* r = findFingerParam(2);
    sim::FrameValues v = catalogueFrames::sampleValues(*r);
    v.channels[0] = 0x80000001u;
    feed(*p, catalogueFrames::frameFor(2, v));
    p->flushDisplay();
    QLabel* ch0 = p->dataFormList[0]->ui->lbData;
    QCOMPARE(ch0->text(), QString("-2147483647"));
    QCOMPARE(ch0->styleSheet(), QString("color: rgb(0, 0, 0);"));
}

void tst_panelData::framePath()
{
    auto p = panelFor(31);
    QSignalSpy sent(p.get(), &fingerForm::si_sendDataStrList);
    feed(*p, frame31(5, 11));
    QCOMPARE(sent.size(), 1);
    QCOMPARE(sent[0][0].value<uint8_t>(), uint8_t(0));
    QCOMPARE(sent[0][1].value<uint8_t>(), uint8_t(0x60));
    const QVector<QString> expected{"11", "22", "33", "44", "1.50", "0.50", "90", "7"};
    QCOMPARE(sent[0][2].value<QVector<QString>>(), expected);
    // Rejected frames and frames of other sensors change nothing and send nothing.
    feed(*p, corrupted(frame31(6, 99)));
    feed(*p, frame31(6, 99).left(20));
    p->sl_updateData(1, 0x60, catalogueFrames::toPack(frame31(7, 98)));
    p->sl_updateData(0, 0x61, catalogueFrames::toPack(frame31(7, 98)));
    QCOMPARE(sent.size(), 1);
    p->flushDisplay();
    QCOMPARE(p->dataFormList[0]->ui->lbData->text(), QString("11"));
    QCOMPARE(p->ff->seq, uint8_t(5));
}

void tst_panelData::burstShownOnceAtItsLastFrame()
{
    auto p = panelFor(31);
    QVERIFY(showAndWait(*p));
    RecordingView* view = viewOf(*p);
    QSignalSpy sent(p.get(), &fingerForm::si_sendDataStrList);
    p->ui->chkbtnSave->setChecked(true);
    QCoreApplication::processEvents();  // the paints of being shown are behind us
    // Frames faster than the clock: all come in before the event loop runs once.
    constexpr int kFrames = 200;
    for (int i = 0; i < kFrames; ++i)
        feed(*p, frame31(uint8_t(i), uint32_t(1000 + i)));
    QCOMPARE(sent.size(), kFrames);
    QCOMPARE(sent.last()[2].value<QVector<QString>>().first(), QString("1199"));
    QVERIFY(view->firstChannel.isEmpty());

    // The clock shows the last of them, once, in the view, and in the rows when their page is up.
    QTRY_COMPARE(view->firstChannel, QVector<uint32_t>{1199});
    QTRY_COMPARE(view->shownWhenPainted, 1);  // the new value's repaint
    // Nothing new: nothing is shown again and nothing repainted.
    const int paints = view->paints;
    QTest::qWait(10 * fingerForm::kDisplayPeriodMs);
    QCOMPARE(view->paints, paints);
    QCOMPARE(view->firstChannel.size(), 1);
    p->ui->tabWidget->setCurrentWidget(p->ui->tab_4);
    QTRY_COMPARE(p->dataFormList[0]->ui->lbData->text(), QString("1199"));

    // Every frame was logged once.
    const QString path = p->savePath();
    p->ui->chkbtnSave->setChecked(false);
    const QList<QByteArray> lines = readAll(path).split('\n');
    QCOMPARE(lines.size(), kFrames + 2);  // header, the rows, the empty rest
    for (int i = 0; i < kFrames; ++i)
        QCOMPARE(lines[1 + i].split(',')[2].toInt(), 1000 + i);
}

void tst_panelData::hiddenPanelShowsLatestWhenShown()
{
    auto p = panelFor(31);
    RecordingView* view = viewOf(*p);
    feed(*p, frame31(1, 11));
    feed(*p, frame31(2, 12));
    QTest::qWait(5 * fingerForm::kDisplayPeriodMs);
    QVERIFY(view->firstChannel.isEmpty());
    QVERIFY(showAndWait(*p));
    QTRY_COMPARE(view->firstChannel, QVector<uint32_t>{12});

    // Hidden again, and shown after more frames with the rows page up: the latest of them.
    p->hide();
    feed(*p, frame31(3, 13));
    feed(*p, frame31(4, 14));
    p->ui->tabWidget->setCurrentWidget(p->ui->tab_4);
    p->show();
    QTRY_COMPARE(p->dataFormList[0]->ui->lbData->text(), QString("14"));
    // The picture waited for its page.
    QCOMPARE(view->firstChannel, QVector<uint32_t>{12});
    p->ui->tabWidget->setCurrentWidget(p->ui->tab);
    QTRY_COMPARE(view->firstChannel, (QVector<uint32_t>{12, 14}));
}

void tst_panelData::coveredPanelWaitsItsTurn()
{
    // Two panels as tabs of one area: the one behind is not drawn until it comes to the front.
    QMdiArea area;
    area.setViewMode(QMdiArea::TabbedView);
    QMdiSubWindow* subs[2];
    fingerForm* panels[2];
    for (int k = 0; k < 2; ++k) {
        panels[k] = new fingerForm(0, uint8_t(0x60 + k));
        panels[k]->sl_connectedFinger(0, uint8_t(0x60 + k), sensor(31, 0, uint8_t(0x60 + k)));
        subs[k] = area.addSubWindow(panels[k]);
        subs[k]->show();
    }
    QVERIFY(showAndWait(area));
    area.setActiveSubWindow(subs[1]);
    for (fingerForm* p : panels)
        feed(*p, frame31(1, 21));
    QTRY_COMPARE(viewOf(*panels[1])->firstChannel, QVector<uint32_t>{21});
    QTest::qWait(5 * fingerForm::kDisplayPeriodMs);
    QVERIFY(viewOf(*panels[0])->firstChannel.isEmpty());

    area.setActiveSubWindow(subs[0]);
    QTRY_COMPARE(viewOf(*panels[0])->firstChannel, QVector<uint32_t>{21});
    QCOMPARE(viewOf(*panels[1])->firstChannel.size(), 1);
}

void tst_panelData::flushShowsOnlyWhatIsNew()
{
    auto p = panelFor(31);
    RecordingView* view = viewOf(*p);
    p->flushDisplay();  // nothing decoded yet
    QVERIFY(view->firstChannel.isEmpty());
    feed(*p, frame31(1, 31));
    feed(*p, corrupted(frame31(2, 32)));  // rejected: the last decoded frame stays the one shown
    p->flushDisplay();
    p->flushDisplay();
    QCOMPARE(view->firstChannel, QVector<uint32_t>{31});
    QCOMPARE(p->dataFormList[0]->ui->lbData->text(), QString("31"));
}

void tst_panelData::frameRateLabel()
{
    auto p = panelFor(31);
    p->sl_setHz(0, 0x60, 100, 98);
    QCOMPARE(p->ui->lbHz->text(), QString("98/100"));
    p->sl_setHz(1, 0x60, 5, 5);
    p->sl_setHz(0, 0x61, 5, 5);
    QCOMPARE(p->ui->lbHz->text(), QString("98/100"));
}

void tst_panelData::resetForgetsTheView()
{
    auto p = panelFor(31);
    p->ui->lbVersion->setText("1.2.3");
    p->ui->spbPressReleaseThresholdScale->setValue(9);
    p->ui->rbtnModeHighBd->setChecked(true);
    QPointer<QWidget> view = p->ff->widget;
    p->sl_reset(0, 0x60);
    QVERIFY(!p->ff);
    QVERIFY(!view);
    QCOMPARE(p->dataFormList.size(), 0);
    QCOMPARE(p->ui->tbwThreshold->rowCount(), 0);
    QCOMPARE(p->ui->lbVersion->text(), QString());
    QCOMPARE(p->ui->spbPressReleaseThresholdScale->value(), 1);
    QVERIFY(p->ui->rbtnModeNor->isChecked());
    QSignalSpy sent(p.get(), &fingerForm::si_sendDataStrList);
    feed(*p, frame31(1, 11));
    QCOMPARE(sent.size(), 0);
}

void tst_panelData::csvHeaderAndRows()
{
    auto p = panelFor(31);
    feed(*p, frame31(1, 11));  // logging off: nothing written
    p->ui->chkbtnSave->setChecked(true);
    // Frames handed over without a read time are stamped on arrival, on the frame clock.
    const qint64 before = frameClock::nowMs();
    feed(*p, frame31(2, 11));
    feed(*p, corrupted(frame31(3, 12)));  // rejected: not logged
    feed(*p, frame31(4, 13));
    const qint64 after = frameClock::nowMs();
    const QString path = p->savePath();
    QVERIFY(path.startsWith(p->saveDir + "/"));
    p->ui->chkbtnSave->setChecked(false);  // ends the file and writes what is buffered
    QCOMPARE(p->savePath(), QString());

    const QByteArray content = readAll(path);
    QVERIFY(content.startsWith(QString("时间,序号").toUtf8()));  // UTF-8, no byte-order mark
    const QList<QByteArray> lines = content.split('\n');
    QCOMPARE(lines.size(), 4);  // header, two rows, the empty rest after the last line end
    QCOMPARE(QString::fromUtf8(lines[0]), QString("时间,序号,通道0,通道1,通道2,通道3,三维力0_法向力,三维力0_切向力,三维力0_方向,状态7"));
    QCOMPARE(lines[3], QByteArray());
    const QStringList rows{",2,11,22,33,44,1.50,0.50,90,7", ",4,13,22,33,44,1.50,0.50,90,7"};
    for (int i = 0; i < 2; ++i) {
        const QByteArray line = lines[1 + i];
        const int comma = line.indexOf(',');
        const qint64 ms = line.left(comma).toLongLong();
        QVERIFY(ms >= before && ms <= after);
        QCOMPARE(QString::fromUtf8(line.mid(comma)), rows[i]);
        QCOMPARE(line.count(',') + 1, lines[0].count(',') + 1);  // a title over every column
    }
}

void tst_panelData::csvRowTimeIsTheReadTime()
{
    // Frames that waited for the window carry when the worker read them, not when they arrived.
    auto p = panelFor(31);
    p->ui->chkbtnSave->setChecked(true);
    const qint64 readMs[] = {frameClock::nowMs() - 5000, frameClock::nowMs() - 4990, frameClock::nowMs() - 4979};
    for (int i = 0; i < 3; ++i)
        p->sl_updateData(p->infIdx, p->addr, catalogueFrames::toPack(frame31(uint8_t(i + 1), 11)), readMs[i]);
    const QString path = p->savePath();
    p->ui->chkbtnSave->setChecked(false);
    const QList<QByteArray> lines = readAll(path).split('\n');
    QCOMPARE(lines.size(), 5);  // header, three rows, the empty rest
    for (int i = 0; i < 3; ++i)
        QCOMPARE(lines[1 + i].split(',').value(0).toLongLong(), readMs[i]);
}

void tst_panelData::csvWithProximityColumns()
{
    auto p = panelFor(17);
    p->ui->chkbtnSave->setChecked(true);
    feed(*p, catalogueFrames::sampleFrame(17));
    const QString path = p->savePath();
    p->ui->chkbtnSave->setChecked(false);
    const QList<QByteArray> lines = readAll(path).split('\n');
    const QString header = QString::fromUtf8(lines[0]);
    QVERIFY(header.startsWith("时间,序号,通道0,"));
    QVERIFY(header.endsWith(",通道15,三维力0_法向力,三维力0_切向力,三维力0_方向,三维力1_法向力,三维力1_切向力,三维力1_方向,"
                            "自电容接近0,自电容接近1,互电容接近0,状态5"));
    QCOMPARE(lines[1].count(',') + 1, 28);  // time, sequence, 16 + 6 + 2 + 1 + 1 values
    QCOMPARE(lines[0].count(','), lines[1].count(','));
}

void tst_panelData::csvOffCreatesNothing()
{
    auto p = panelFor(31);
    for (int i = 0; i < 5; ++i)
        feed(*p, frame31(uint8_t(i), 11));
    QCOMPARE(csvFiles(*p), QStringList());
    QCOMPARE(p->savePath(), QString());
}

void tst_panelData::csvNewFileAfterSwitchingOn()
{
    auto p = panelFor(31, 1, 0x2B);
    p->ui->chkbtnSave->setChecked(true);
    feed(*p, frame31(1, 11));
    QCOMPARE(csvFiles(*p).size(), 1);
    QVERIFY(QRegularExpression("^\\d{8}_\\d{6}_\\d{3}__2__0x2B\\.csv$").match(csvFiles(*p).first()).hasMatch());
    p->ui->chkbtnSave->setChecked(false);
    QTest::qWait(5);
    p->ui->chkbtnSave->setChecked(true);
    feed(*p, frame31(2, 11));
    p->ui->chkbtnSave->setChecked(false);
    const QStringList files = csvFiles(*p);
    QCOMPARE(files.size(), 2);
    for (const QString& f : files) {
        const QList<QByteArray> lines = readAll(p->saveDir + "/" + f).split('\n');
        QCOMPARE(lines.size(), 3);  // each its own header and row
        QVERIFY(lines[0].startsWith(QString("时间").toUtf8()));
    }
}

void tst_panelData::csvUnopenableFileWarns()
{
    auto p = panelFor(31);
    // Where the data folder should be stands a file: no log can be created.
    QDir(p->saveDir).removeRecursively();
    {
        QFile blocker(p->saveDir);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
    }
    p->ui->chkbtnSave->setChecked(true);
    feed(*p, frame31(1, 11));
    QCOMPARE(WarningRecorder::warnings().size(), 1);
    QCOMPARE(WarningRecorder::warnings().first().first, QString("保存失败"));
    QVERIFY(WarningRecorder::warnings().first().second.startsWith("文件打开失败:"));
    QVERIFY(!p->ui->chkbtnSave->isChecked());
    // Logging stays off: later frames try nothing and warn no more.
    feed(*p, frame31(2, 11));
    QCOMPARE(WarningRecorder::warnings().size(), 1);
    QFile::remove(p->saveDir);
}

void tst_panelData::csvLaterWriteFailureReported()
{
    // A device that takes no byte: the write the log makes by itself, after the row, fails.
    class_finger decoder(31, nullptr);
    QCOMPARE(decoder.decodeFrame(frame31(1, 11)), int(class_finger::Decoded));
    class_csvLog log;
    QStringList failed;
    log.setWriteFailed([&failed](const QString& path) { failed << path; });
    QVERIFY(log.open("/dev/full"));
    QVERIFY(log.writeFrame(decoder, 1));  // formatted, not yet written
    QVERIFY(failed.isEmpty());
    QTRY_COMPARE(failed, QStringList{"/dev/full"});
    QVERIFY(!log.close());
    QCOMPARE(failed.size(), 1);
}

void tst_panelData::csvKeepsRowsWhenPanelGoes()
{
    QString path;
    {
        auto p = panelFor(31);
        p->ui->chkbtnSave->setChecked(true);
        for (int i = 0; i < 300; ++i)
            feed(*p, frame31(uint8_t(i), uint32_t(1000 + i)));
        path = p->savePath();
    }
    const QList<QByteArray> lines = readAll(path).split('\n');
    QCOMPARE(lines.size(), 302);
    QVERIFY(lines[300].contains(",1299,"));
}

void tst_panelData::csvTwoPanelsTwoFiles()
{
    auto a = panelFor(31, 0, 0x21);
    auto b = panelFor(31, 0, 0x22);
    a->ui->chkbtnSave->setChecked(true);
    b->ui->chkbtnSave->setChecked(true);
    feed(*a, frame31(1, 11));
    feed(*b, frame31(1, 12));
    QVERIFY(a->savePath() != b->savePath());
    QVERIFY(a->savePath().endsWith("__1__0x21.csv"));
    QVERIFY(b->savePath().endsWith("__1__0x22.csv"));
}

void tst_panelData::loggingKeepsEveryFrame()
{
    // Type 43: 63 values per frame, logging on; every accepted frame is one row.
    auto p = panelFor(43);
    QCOMPARE(p->dataFormList.size(), 63);
    QVector<QVector<uint8_t>> packs;
    for (uint32_t salt = 0; salt < 64; ++salt)
        packs.append(catalogueFrames::toPack(catalogueFrames::sampleFrame(43, salt, uint8_t(salt))));
    p->ui->chkbtnSave->setChecked(true);
    constexpr int kFrames = 5000;
    for (int i = 0; i < kFrames; ++i)
        p->sl_updateData(0, 0x60, packs[i % packs.size()]);
    const QString path = p->savePath();
    p->ui->chkbtnSave->setChecked(false);
    QCOMPARE(readAll(path).count('\n'), kFrames + 1);
}

TACTILE_TEST_MAIN(tst_panelData)
#include "tst_panelData.moc"
