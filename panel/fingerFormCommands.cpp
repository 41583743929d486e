// The panel's controls and the requests they send.

#include "fingerForm.h"

#include "class_sensorCmd.h"
#include "fingerFormProtocol.h"
#include "hooks.h"
#include "ui_fingerForm.h"

#include <QDebug>
#include <QDir>
#include <QLineEdit>
#include <QPointer>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTextStream>
#include <QTimer>
#include <iterator>
#include <limits>

using namespace panelCmd;

namespace {
constexpr int kReReadAfterWriteMs = 200;
constexpr uint8_t kAutoThresholdSeconds = 10;
constexpr uint8_t kModeNormalSeconds = 2;
constexpr uint8_t kModeHighSeconds = 15;
constexpr uint8_t kModeNormal = 0;
constexpr uint8_t kModeHigh = 1;
constexpr uint8_t kTouchSelector = 1;  // selector byte of the pressure threshold 0x6A
constexpr double kThresholdScale = 100.0;
constexpr int kTabInfo = 0;
const char* const kCaliExportName = "caliTable.csv";

uint16_t perChannelLen(int bytesPerChannel, int channels)
{
    return uint16_t(bytesPerChannel * channels + kLenShort);
}
}  // namespace

// ---- requests ---------------------------------------------------------------------------------

void fingerForm::request(const QByteArray& frame, uint16_t rspLen)
{
    if (closing)
        return;
    emit si_cmdReq1(infIdx, addr, frame, rspLen);
}

void fingerForm::request(uint8_t code, const uint8_t (&params)[5], uint16_t rspLen)
{
    request(class_sensorCmd::frame(devId, code, params), rspLen);
}

void fingerForm::request(uint8_t code, uint16_t rspLen)
{
    request(class_sensorCmd::frame(devId, code), rspLen);
}

void fingerForm::clickGetThreshold()
{
    emit ui->pbtnGetThreshold->clicked(false);
}

void fingerForm::clickGetThresholdLater(int ms)
{
    // Bound to the panel: nothing happens when the panel is gone before it fires.
    QTimer::singleShot(ms, this, &fingerForm::clickGetThreshold);
}

// ---- queries ----------------------------------------------------------------------------------

void fingerForm::getVersion() { request(GetVersion, kLenVersion); }
void fingerForm::getPrg() { request(GetPrg, kLenStd); }
void fingerForm::getSN() { request(GetSN, class_sensorCmd::kRspVariable); }
void fingerForm::getSensorNum() { request(GetSensorNum, kLenStd); }
void fingerForm::getProxClearTouch() { request(GetProxClearTouch, kLenStd); }
void fingerForm::getAutoDacPowerUp() { request(GetAutoDacPowerUp, kLenStd); }

void fingerForm::getReleaseThreshold()
{
    request(GetPressRelease, kLenStd);
    request(GetProxRelease, kLenStd);
}

void fingerForm::setMode(uint8_t mode)
{
    request(SetMode, Params().u8(4, mode).p, kLenShort);
}

void fingerForm::getCaliCh(uint8_t ch)
{
    if (const finger_param_ts* p = record("getCaliCh"))
        request(GetCaliCh, Params().u8(4, ch).p, perChannelLen(4, p->caliNum));
}

void fingerForm::getCaliState()
{
    const finger_param_ts* p = record("getCaliState");
    if (!p)
        return;
    const uint16_t len = uint16_t(p->pressNum + p->yddsNum + kLenShort);
    qDebug("getCaliState:%d", len);
    request(GetCaliState, len);
}

void fingerForm::getDac()
{
    if (const finger_param_ts* p = record("getDac"))
        request(GetDac, perChannelLen(4, p->chNum));
}

void fingerForm::getCaliNList()
{
    if (const finger_param_ts* p = record("getCaliNList"))
        request(GetCaliList, uint16_t(4 * p->caliNum + kLenShort + 1));
}

void fingerForm::sl_setCurrSensor(uint8_t, uint8_t)
{
    getPrg();
    getVersion();
    getSensorNum();
}

// ---- wiring -----------------------------------------------------------------------------------

void fingerForm::cmdFuncInit()
{
    // Buttons that send one request without parameters.
    const struct {
        QPushButton* button;
        uint8_t code;
        uint16_t rspLen;
    } plain[] = {
        {ui->pbtnReset, Reset, kLenShort},
        {ui->pbtnAutoDac, AutoDac, kLenShort},
        {ui->pbtnChannelResetAll, ChannelResetAll, kLenShort},
    };
    for (const auto& b : plain) {
        const uint8_t code = b.code;
        const uint16_t len = b.rspLen;
        connect(b.button, &QPushButton::clicked, this, [this, code, len] { request(code, len); });
    }
    connect(ui->pbtnSetFactor, &QPushButton::clicked, this, &fingerForm::confirmFactoryReset);
    connect(ui->cbbSetSendType, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &fingerForm::setSendTypeFromCombo);
    connect(ui->pbtnSetIICAddr, &QPushButton::clicked, this, [this] {
        request(SetAddr, Params().u8(7, uint8_t(ui->spbIICAddr->value())).p, kLenStd);
    });
    connect(ui->pbtnGetThreshold, &QPushButton::clicked, this, &fingerForm::readParameters);
    connect(ui->pbtnAutoThreshold, &QPushButton::clicked, this, [this] {
        request(AutoThreshold,
                Params().u8(4, uint8_t(ui->spbThresholdSNR->value())).u32(5, uint32_t(ui->spbThresholdMin->value())).p,
                kLenShort);
        startCountdown(kAutoThresholdSeconds);
    });
    connect(ui->pbtnTouchThreshold, &QPushButton::clicked, this, [this] {
        // Rounded: 0.29 N is 29, not the 28 a truncated 28.999... would give.
        const auto scaled = int32_t(qRound64(ui->dspbTouchThreshold->value() * kThresholdScale));
        request(SetTouchThreshold, Params().u8(4, kTouchSelector).u32(5, uint32_t(scaled)).p, kLenStd);
        clickGetThresholdLater(kReReadAfterWriteMs);
    });
    connect(ui->rbtnModeNor, &QRadioButton::clicked, this, [this] {
        setMode(kModeNormal);
        startCountdown(kModeNormalSeconds);
    });
    connect(ui->rbtnModeHighBd, &QRadioButton::clicked, this, [this] {
        setMode(kModeHigh);
        startCountdown(kModeHighSeconds);
    });
    connect(ui->pbtnCaliRefresh, &QPushButton::clicked, this, &fingerForm::refreshCalibration);
    connect(ui->pbtnCaliClear, &QPushButton::clicked, this, &fingerForm::clearCalibration);
    connect(ui->pbtnCaliMaxAuto, &QPushButton::clicked, this, &fingerForm::fillCalibrationMax);
    connect(ui->pbtnCaliSave, &QPushButton::clicked, this, &fingerForm::exportCalibration);
}

void fingerForm::connectControls()
{
    connect(ui->spbIICAddr, QOverload<int>::of(&QSpinBox::valueChanged), this,
            [this](int v) { ui->lbIICAddr->setText(QString::number(v)); });
    connect(ui->chkbtnProxClearTouch, &QCheckBox::clicked, this, &fingerForm::sendProxClearTouch);
    connect(ui->pbtnSetProxClearTouch, &QPushButton::clicked, this, &fingerForm::sendProxClearTouch);
    connect(ui->chkbtnAutoDacPowerUp, &QCheckBox::clicked, this, [this] {
        request(SetAutoDacPowerUp, Params().u8(4, ui->chkbtnAutoDacPowerUp->isChecked() ? 1 : 0).p, kLenStd);
    });
    connect(ui->pbtnGetTemp, &QPushButton::clicked, this, [this] { request(GetTemp, kLenStd); });
    connect(ui->pbtnTempCali, &QPushButton::clicked, this, [this] {
        request(TempCali, Params().f32(4, float(ui->dspbTempCali->value())).p, kLenStd);
    });
    // Release thresholds: value in bytes 4..7, scale in byte 8.
    const struct {
        QPushButton* button;
        QSpinBox* value;
        QSpinBox* scale;
        uint8_t code;
    } release[] = {
        {ui->pbtnSetPressReleaseThreshold, ui->spbPressReleaseThreshold, ui->spbPressReleaseThresholdScale,
         SetPressRelease},
        {ui->pbtnSetProxReleaseThreshold, ui->spbProxReleaseThreshold, ui->spbProxReleaseThresholdScale,
         SetProxRelease},
    };
    for (const auto& r : release) {
        QSpinBox* value = r.value;
        QSpinBox* scale = r.scale;
        const uint8_t code = r.code;
        connect(r.button, &QPushButton::clicked, this, [this, value, scale, code] {
            request(code, Params().u32(4, uint32_t(value->value())).u8(8, uint8_t(scale->value())).p, kLenStd);
        });
    }
    connect(ui->pbtnSetPressThreshold, &QPushButton::clicked, this, &fingerForm::sendPressThreshold);
    connect(ui->tabWidget, &QTabWidget::currentChanged, this, &fingerForm::tabChanged);
    connect(ui->chkbtnShowData, &QCheckBox::clicked, this, [this](bool checked) {
        if (ff)
            ff->setShowData(checked);
    });
    // Unticking ends the file at once, so its buffered rows reach the disk.
    connect(ui->chkbtnSave, &QCheckBox::toggled, this, [this](bool on) {
        if (!on)
            stopLogging();
    });
}

// ---- handlers ---------------------------------------------------------------------------------

void fingerForm::readParameters()
{
    // One read per table column, in column order, for as many columns as the table has.
    static const struct {
        uint8_t code;
        int bytesPerChannel;
    } reads[] = {
        {GetThreshold, 4}, {GetExcF, 1}, {GetRange, 1}, {GetFilter, 6}, {GetTimeout, 4}, {GetDac, 4},
    };
    for (int i = 0; i < int(std::size(reads)); ++i) {
        if (ui->tbwThreshold->columnCount() == i)
            return;
        const finger_param_ts* p = record("parameter read");
        if (!p)
            return;
        if (reads[i].code == GetDac)
            getDac();
        else
            request(reads[i].code, perChannelLen(reads[i].bytesPerChannel, p->chNum));
    }
}

void fingerForm::startCountdown(uint8_t seconds)
{
    countdown = seconds;
    countdownTimer->start();
}

void fingerForm::countdownStep()
{
    if (countdown > 0)
        --countdown;
    ui->lbAutoThresholdTime->setText(QObject::tr("倒计时：") + QString::number(countdown) + QObject::tr("秒"));
    if (countdown == 0) {
        countdownTimer->stop();
        clickGetThreshold();
    }
}

void fingerForm::setSendTypeFromCombo(int index)
{
    if (index < 0)
        return;
    sendType = uint8_t(index);
    request(SetSendType, Params().u8(7, sendType).p, kLenStd);
}

void fingerForm::tabChanged(int index)
{
    // The page that comes up shows the latest frame.
    if (viewDue || rowsDue)
        startDisplayClock();
    if (index == kTabInfo) {
        // The model view shows forces: have the sensor send them while its page is up.
        request(SetSendType, Params().u8(7, kSendTypeForce).p, kLenStd);
        return;
    }
    qDebug("set sendType:%d", sendType);
    if (ui->cbbSetSendType->currentIndex() == sendType)
        emit ui->cbbSetSendType->currentIndexChanged(int(sendType));
    else
        ui->cbbSetSendType->setCurrentIndex(sendType);
}

void fingerForm::confirmFactoryReset()
{
    const QPointer<fingerForm> self(this);
    const QMessageBox::StandardButton answer =
        hooks::question(QObject::tr("提示"), QObject::tr("确认回复出厂设置？"), QMessageBox::Reset | QMessageBox::No,
                        QMessageBox::No);
    // The question waits in its own event loop; the sensor may have gone meanwhile.
    if (!self || answer != QMessageBox::Reset)
        return;
    request(Factory, kLenStd);
}

void fingerForm::sendProxClearTouch()
{
    request(SetProxClearTouch,
            Params()
                .u8(4, ui->chkbtnProxClearTouch->isChecked() ? 1 : 0)
                .u32(5, uint32_t(ui->spbProxClearTouchTimeout->value()))
                .p,
            kLenStd);
    getProxClearTouch();
}

uint32_t fingerForm::pressThresholdRaw(double f, const QVector<float>& F, const QVector<uint32_t>& r)
{
    const int n = qMin(F.size(), r.size());
    if (n == 0)
        return 0;
    auto toRaw = [](double v) -> uint32_t {
        if (!(v > 0))  // also NaN
            return 0;
        if (v >= double(std::numeric_limits<uint32_t>::max()))
            return std::numeric_limits<uint32_t>::max();
        return uint32_t(v);
    };
    if (f >= F[n - 1])
        return r[n - 1];
    if (f < F[0]) {
        const float quotient = float(r[0]) / F[0];
        return toRaw(f * quotient);
    }
    for (int i = 0; i + 1 < n; ++i) {
        if (f == F[i])
            return r[i];
        if (f < F[i + 1]) {
            if (r[i] >= r[i + 1])
                return 0;
            return toRaw(r[i] + (f - F[i]) * double(r[i + 1] - r[i]) / (double(F[i + 1]) - F[i]));
        }
    }
    return 0;
}

QString fingerForm::caliCellText(int row, int col) const
{
    const auto* editor = qobject_cast<const QLineEdit*>(ui->tbwCaliTable->cellWidget(row, col));
    return editor ? editor->text() : QString();
}

void fingerForm::sendPressThreshold()
{
    const uint8_t ch = uint8_t(ui->cbbSetPressThresholdCh->currentText().toInt());
    QVector<uint32_t> raw;
    for (int i = 0; i < ui->tbwCaliTable->rowCount(); ++i)
        raw.append(caliCellText(i, ch).toUInt());
    qDebug() << raw;
    if (qMin(raw.size(), caliNList.size()) == 0) {
        qDebug() << "no calibration points for the threshold of channel" << ch;
        return;
    }
    const uint32_t v = pressThresholdRaw(ui->dspbSetPressThresholdPress->value(), caliNList, raw);
    qDebug() << v;
    request(SetChannelThreshold, Params().u8(4, ch).u32(5, v).p, kLenStd);
    clickGetThresholdLater(kReReadAfterWriteMs);
}

void fingerForm::refreshCalibration()
{
    const finger_param_ts* p = record("calibration refresh");
    if (!p)
        return;
    for (int i = 0; i < p->pressNum + p->yddsNum; ++i)
        getCaliCh(uint8_t(i));
    getCaliState();
}

bool fingerForm::firmwareTakesCaliList(const QString& version)
{
    const QStringList parts = version.split('.', Qt::KeepEmptyParts);
    if (parts.size() < 2)
        return false;
    const int major = parts[0].toInt();
    return major >= 2 || (major == 1 && parts[1].toInt() >= 3);
}

void fingerForm::clearCalibration()
{
    const finger_param_ts* p = record("calibration clear");
    if (!p)
        return;
    const bool listForm = firmwareTakesCaliList(ui->lbVersion->text());
    const uint16_t ackLen = class_sensorCmd::getRspLen(SetCaliPoint);
    for (int c = 0; c < ui->tbwCaliMaxAuto->columnCount(); ++c) {
        const auto ch = uint8_t(c);
        if (listForm) {
            request(class_sensorCmd::caliListFrame(devId, ch, QVector<uint32_t>(p->caliNum, 0)),
                    class_sensorCmd::getRspLen(SetCaliList));
            getCaliCh(ch);
            continue;
        }
        bool sent = false;
        for (int i = 0; i < p->caliNum; ++i) {
            if (caliCellText(i, c).toUInt() == 0)
                continue;
            request(SetCaliPoint, Params().u8(4, ch).u8(5, uint8_t(i)).p, ackLen);
            sent = true;
        }
        if (sent)
            getCaliCh(ch);
    }
    getCaliState();
}

void fingerForm::fillCalibrationMax()
{
    for (int c = 0; c < ui->tbwCaliMaxAuto->columnCount(); ++c)
        if (auto* b = qobject_cast<QAbstractButton*>(ui->tbwCaliMaxAuto->cellWidget(0, c)))
            emit b->clicked(false);
}

void fingerForm::exportCalibration()
{
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    const QString path = QDir(dir).filePath(kCaliExportName);
    qDebug() << QDir::toNativeSeparators(path);
    // Written whole or not at all: the old export stays until the new one is complete.
    QDir().mkpath(dir);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        qDebug() << "caliTable open fail:" << file.errorString();
        return;
    }
    QTextStream out(&file);
    out.setCodec("UTF-8");
    const QTableWidget* t = ui->tbwCaliTable;
    for (int r = 0; r < t->rowCount(); ++r) {
        // A point without a known force keeps its column, with an empty force field.
        if (r < caliNList.size())
            out << QString::number(caliNList[r], 'f', 1);
        out << ',';
        for (int c = 0; c < t->columnCount(); ++c)
            out << caliCellText(r, c) << ',';
        out << '\n';
    }
    out.flush();
    if (out.status() != QTextStream::Ok || !file.commit())
        qDebug() << "caliTable write fail:" << file.errorString();
}
