// Panel construction, model view choice, value rows, data path and CSV log.

#include "fingerForm.h"

#include "class_sensorCmd.h"
#include "dataForm.h"
#include "fingerFormProtocol.h"
#include "hooks.h"
#include "ui_fingerForm.h"
#include "viewFactory.h"

#include <QButtonGroup>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QTimer>

namespace {
constexpr int kTabInfo = 0;
constexpr int kTabCalibration = 3;  // removed from the tab widget: the page is not offered
constexpr uint8_t kRowChannel = 0;  // row with reset and enable controls
constexpr uint8_t kRowValue = 1;
constexpr int kMaxRows = 255;       // row indices are 8-bit
constexpr int kCountdownStepMs = 1000;

// Shown and not covered, for example by the sub-window of another panel.
bool exposed(const QWidget* w)
{
    return w->isVisible() && !w->visibleRegion().isEmpty();
}
}  // namespace

fingerForm::fingerForm(uint8_t infIdx, uint8_t addr, QWidget* parent)
    : QWidget(parent), ui(new Ui::fingerForm), infIdx(infIdx), addr(addr)
{
    ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    shapeForm(*ui);

    auto* modes = new QButtonGroup(this);
    modes->addButton(ui->rbtnModeNor);
    modes->addButton(ui->rbtnModeHighBd);

    saveDir = QDir(hooks::programDir()).filePath("data");
    if (!QDir().mkpath(saveDir))
        qDebug() << "data folder not created:" << QDir::toNativeSeparators(saveDir);

    cmdFuncInit();

    countdownTimer = new QTimer(this);
    countdownTimer->setInterval(kCountdownStepMs);
    connect(countdownTimer, &QTimer::timeout, this, &fingerForm::countdownStep);
    connectControls();

    // Every frame is decoded, logged and streamed when it comes; the picture and the rows follow
    // the latest one at the pace of the screen.
    displayClock = new QTimer(this);
    displayClock->setSingleShot(true);
    displayClock->setInterval(kDisplayPeriodMs);
    connect(displayClock, &QTimer::timeout, this, &fingerForm::displayTick);
    csvLog.setWriteFailed([this](const QString& path) { logWriteFailed(path); });

    sl_reset(infIdx, addr);
    qDebug() << "fingerForm new";
}

fingerForm::~fingerForm()
{
    // The sensor may be gone, and a closed window must not change what the sensor sends: the
    // reset's send type stays unsent.
    closing = true;
    sl_reset(infIdx, addr);
    qDebug() << "fingerForm delete";
    delete ui;
}

void fingerForm::shapeForm(Ui::fingerForm& ui)
{
    // Offer only what the sensors support: no run time, no calibration page, no hidden groups.
    ui.label_19->hide();
    ui.lbRunTime->hide();
    ui.tabWidget->removeTab(kTabCalibration);
    ui.groupBox_4->hide();
    ui.tbwThreshold->show();
    ui.groupBox_3->hide();
    ui.groupBox_5->hide();
    ui.groupBox_6->hide();
    ui.chkbtnAutoDacPowerUp->hide();
    ui.groupBox_7->hide();
    ui.widget_2->hide();
    ui.groupBox->show();
    // The page shown sizes the tab widget.
    ui.tabWidget->setCurrentIndex(kTabInfo);

    ui.tbwThreshold->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    ui.tbwThreshold->verticalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    ui.tbwCaliTable->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    ui.tbwCaliTable->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    for (QTableWidget* t : {ui.tbwCaliCh, ui.tbwCaliChGroup, ui.tbwCaliMaxAuto}) {
        t->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
        t->verticalHeader()->setSectionResizeMode(QHeaderView::Stretch);
        t->horizontalHeader()->hide();
        t->verticalHeader()->hide();
    }
}

void fingerForm::clearTexts(Ui::fingerForm& ui)
{
    for (QLabel* l : {ui.lbVersionTime, ui.lbVersionDate, ui.lbVersion, ui.lbSN, ui.lbAddr, ui.lbHz, ui.lbType,
                      ui.lbCaliTableState})
        l->clear();
    ui.gpbTitle->setTitle(QString());
}

QSize fingerForm::minimumSizeFor(const QSize& viewMinimum)
{
    // The panel's form alone, as a panel starts: one made here would log itself and make its
    // data folder.
    return viewFactory::measureForm<Ui::fingerForm>([&viewMinimum](Ui::fingerForm& form) {
        shapeForm(form);
        clearTexts(form);
        auto* view = new QWidget;
        view->setMinimumSize(viewMinimum);
        form.gl->addWidget(view);  // the form's widget takes it
    });
}

const finger_param_ts* fingerForm::record(const char* what) const
{
    const finger_param_ts* p = ff ? ff->fingerParam : nullptr;
    if (!p)
        qDebug() << "no sensor record for" << what;
    return p;
}

void fingerForm::sl_connectedFinger(uint8_t infIdx, uint8_t addr, sensor_ts info)
{
    if (!isMine(infIdx, addr))
        return;
    sl_reset(infIdx, addr);

    uint8_t type = info.prg;
    if (type == class_finger::kNoRecord) {
        type = viewFactory::typeForFrameLength(info.pack.size());
        if (type == class_finger::kNoRecord) {
            qDebug("not found finger:%d", class_finger::kNoRecord);
            return;
        }
        if (const finger_param_ts* p = findFingerParam(type))
            qDebug("fing prg:%s", p->name);
    }
    const uint8_t viewClass = viewFactory::viewClassFor(type);
    ff = viewClass ? viewFactory::create(viewClass, this) : nullptr;
    if (!ff) {
        qDebug("not found finger:%d", type);
        return;
    }
    // A sensor shown by the view of another type decodes with its own record when there is one.
    ff->selectRecord(type);
    ui->gl->addWidget(ff->widget);
    connect(&ff->fingerSignals, &class_fingerSignals::si_dataUpdate, this, &fingerForm::refreshRows);

    if (const finger_param_ts* p = ff->fingerParam) {
        buildRows(*p);
        qDebug() << p->name;
    }

    devId = info.devId;
    getVersion();
    getPrg();
    getSN();

    ui->lbAddr->setText(QString::asprintf("0x%02X", info.addr));
    ui->lbType->setText(QString::number(info.devId));
    ui->spbIICAddr->setValue(info.addr);

    emit ui->pbtnGetThreshold->clicked(false);
    sendType = 0;
    ui->cbbSetSendType->setCurrentIndex(0);
    emit ui->tabWidget->currentChanged(kTabInfo);
    ff->setShowData(ui->chkbtnShowData->isChecked());
}

void fingerForm::buildRows(const finger_param_ts& p)
{
    const QString channel = QObject::tr("通道");
    for (int i = 0; i < p.chNum; ++i)
        addSensorChannelWg(channel + QString::number(i), kRowChannel);
    for (int i = 0; i < p.yddsNum; ++i) {
        addSensorChannelWg(QObject::tr("法向力") + QString::number(i), kRowValue);
        addSensorChannelWg(QObject::tr("切向力") + QString::number(i), kRowValue);
        addSensorChannelWg(QObject::tr("方向") + QString::number(i), kRowValue);
    }
    for (int i = 0; i < p.sProxNum; ++i)
        addSensorChannelWg(QObject::tr("自电容接近") + QString::number(i), kRowValue);
    for (int i = 0; i < p.mProxNum; ++i)
        addSensorChannelWg(QObject::tr("互电容接近") + QString::number(i), kRowValue);
    if (p.statusNum != 0)
        addSensorChannelWg(QObject::tr("状态"), kRowValue);

    // The bus pair is captured now, as the rows were connected.
    for (dataForm* row : qAsConst(dataFormList)) {
        connect(row, &dataForm::si_reset, this, &fingerForm::sendChannelReset);
        connect(row, &dataForm::si_en, this, &fingerForm::sendChannelEnable);
    }

    QTableWidget* t = ui->tbwThreshold;
    t->setRowCount(p.chNum);
    t->setColumnCount(1);
    t->setHorizontalHeaderLabels({QObject::tr("阈值")});
    QStringList rowNames;
    for (int i = 0; i < p.chNum; ++i)
        rowNames << channel + QString::number(i);
    t->setVerticalHeaderLabels(rowNames);

    // Calibration table: one row per calibration point, one column per calibrated channel.
    ui->tbwCaliTable->setRowCount(p.caliNum);
    ui->tbwCaliTable->setColumnCount(p.pressNum + p.yddsNum);
}

void fingerForm::addSensorChannelWg(const QString& name, uint8_t kind)
{
    if (dataFormList.size() >= kMaxRows) {
        qDebug() << "too many rows:" << name;
        return;
    }
    auto* row = new dataForm(uint8_t(dataFormList.size()), name, kind, ui->sawgDataList);
    ui->lyDataList->addWidget(row);
    dataFormList.append(row);
}

void fingerForm::clearSensorChannelWg()
{
    while (!dataFormList.isEmpty())
        delete dataFormList.takeFirst();
}

void fingerForm::sendChannelReset(uint8_t ch)
{
    request(panelCmd::ChannelReset, panelCmd::Params().u8(4, ch).p, class_sensorCmd::getRspLen(panelCmd::ChannelReset));
}

void fingerForm::sendChannelEnable(uint8_t ch, bool en)
{
    request(panelCmd::ChannelEnable, panelCmd::Params().u8(4, ch).u8(7, en ? 1 : 0).p,
            class_sensorCmd::getRspLen(panelCmd::ChannelEnable));
}

void fingerForm::refreshRows()
{
    // Rows that cannot be seen follow when they can: a new style sheet costs more than a frame.
    if (exposed(ui->sawgDataList))
        showRows();
}

void fingerForm::showRows()
{
    rowsDue = false;
    if (!ff)
        return;
    const QVector<QString>& values = ff->dataList;
    const int n = values.size();
    const int r = dataFormList.size();
    if (n != r) {
        qDebug("ff->dataList.length() != dataFormList.length() :%d,%d", n, r);
        qDebug() << values;
    }
    const int channels = ff->fingerParam ? ff->fingerParam->chNum : 0;
    const int shown = qMin(n, r);
    for (int i = 0; i < shown; ++i) {
        const QString& text = values[i];
        dataFormList[i]->showValue(text);
        // Bit 0 of a raw channel value is the touch flag; a negative text is never touched.
        if (i < channels)
            dataFormList[i]->showTouched(text.toLongLong() % 2 == 1);
    }
}

void fingerForm::sl_updateData(uint8_t infIdx, uint8_t addr, QVector<uint8_t> pack, qint64 readMs)
{
    if (!isMine(infIdx, addr) || !ff)
        return;
    const QByteArray frame(reinterpret_cast<const char*>(pack.constData()), pack.size());
    // A rejected frame keeps the previous texts in the decoder: nothing is sent or logged for it.
    if (ff->decodeFrame(frame) != class_finger::Decoded)
        return;
    viewDue = true;
    rowsDue = true;
    if (!displayClock->isActive() && !displayWaits)
        startDisplayClock();
    emit si_sendDataStrList(this->infIdx, this->addr, ff->dataList);
    save(frameClock::orNow(readMs));
}

void fingerForm::startDisplayClock()
{
    displayWaits = false;
    // A hidden panel waits for its show event.
    if (isVisible())
        displayClock->start();
}

void fingerForm::displayTick()
{
    if (!ff || !isVisible())
        return;
    bool shown = false;
    if (viewDue && exposed(ff->widget)) {
        viewDue = false;
        shown = true;
        ff->showLatestFrame();  // its si_dataUpdate refreshes the rows when they are up
    }
    if (rowsDue && exposed(ui->sawgDataList)) {
        shown = true;
        showRows();
    }
    // Nothing due could be seen (the panel lies behind another window, or the page with the
    // picture or the rows is not up): later frames change nothing of that, so the clock waits
    // until the panel is painted, shown or turned to another page.
    displayWaits = !shown && (viewDue || rowsDue);
}

void fingerForm::flushDisplay()
{
    if (ff && viewDue) {
        viewDue = false;
        ff->showLatestFrame();
    }
    if (rowsDue)
        showRows();
    displayWaits = false;
    displayClock->stop();
}

void fingerForm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (viewDue || rowsDue)
        startDisplayClock();
}

void fingerForm::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    // Painted while the clock waits: what covered the panel has moved away.
    if (displayWaits)
        startDisplayClock();
}

void fingerForm::save(qint64 rowMs)
{
    if (!ui->chkbtnSave->isChecked()) {
        stopLogging();
        return;
    }
    if (!ff)
        return;
    if (!csvLog.isOpen()) {
        const QString path = QDir(saveDir).filePath(class_csvLog::fileName(QDateTime::currentDateTime(), infIdx, addr));
        if (!csvLog.open(path)) {
            qDebug() << "文件夹打开失败";
            ui->chkbtnSave->setChecked(false);
            hooks::warning(QObject::tr("保存失败"), QObject::tr("文件打开失败:") + QDir::toNativeSeparators(path));
            return;
        }
    }
    if (!csvLog.writeFrame(*ff, rowMs))
        logWriteFailed(csvLog.path());
}

void fingerForm::logWriteFailed(const QString& path)
{
    csvLog.close();  // what could not be written is lost: one warning says so
    ui->chkbtnSave->setChecked(false);
    hooks::warning(QObject::tr("保存失败"), QObject::tr("文件写入失败:") + QDir::toNativeSeparators(path));
}

void fingerForm::stopLogging()
{
    if (!csvLog.isOpen())
        return;
    const QString path = csvLog.path();
    if (!csvLog.close())
        hooks::warning(QObject::tr("保存失败"), QObject::tr("文件写入失败:") + QDir::toNativeSeparators(path));
}

void fingerForm::sl_setHz(uint8_t infIdx, uint8_t addr, uint16_t hz, uint16_t rHz)
{
    if (isMine(infIdx, addr))
        ui->lbHz->setText(QString::number(rHz) + "/" + QString::number(hz));
}

void fingerForm::sl_reset(uint8_t infIdx, uint8_t addr)
{
    if (!isMine(infIdx, addr))
        return;
    stopLogging();
    clearTexts(*ui);
    ui->cbbSetSendType->setCurrentIndex(0);
    ui->spbProxReleaseThreshold->setValue(0);
    ui->spbProxReleaseThresholdScale->setValue(1);
    ui->spbPressReleaseThreshold->setValue(0);
    ui->spbPressReleaseThresholdScale->setValue(1);
    if (ff) {
        QWidget* view = ff->widget;
        ff = nullptr;
        delete view;
    }
    viewDue = false;
    rowsDue = false;
    displayWaits = false;
    displayClock->stop();
    for (QTableWidget* t : {ui->tbwThreshold, ui->tbwCaliTable}) {
        t->clear();
        t->setRowCount(0);
        t->setColumnCount(0);
    }
    countdownTimer->stop();
    clearSensorChannelWg();
    ui->rbtnModeNor->setChecked(true);
    ui->rbtnModeHighBd->setChecked(false);
}
