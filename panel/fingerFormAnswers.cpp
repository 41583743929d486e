// The sensor's answers shown on the panel, and the table editors that write edited cells back.

#include "fingerForm.h"

#include "class_sensorCmd.h"
#include "fingerFormProtocol.h"
#include "hooks.h"
#include "ui_fingerForm.h"

#include <QDebug>
#include <QIntValidator>
#include <QLineEdit>
#include <algorithm>
#include <iterator>

using namespace panelCmd;

namespace {
// Parameter table columns.
enum Column {
    kColThreshold = 0,
    kColExcF = 1,
    kColRange = 2,
    kColFilterFirst = 3,
    kColFilterSecond = 4,
    kColFilterValue = 5,
    kColTimeout = 6,
    kColDacFirst = 7,
    kColDacSecond = 8,
    kColDacValue = 9,
};

// What an editor accepts; min > max means no validator.
struct EditorKind {
    int min;
    int max;
    bool editable;
};
constexpr int kIntMax = 2147483647;
constexpr EditorKind kThresholdEd{0, kIntMax, true};
constexpr EditorKind kExcFEd{1, 63, true};
constexpr EditorKind kRangeEd{0, 22, true};
constexpr EditorKind kFilterByteEd{0, 16, true};
constexpr EditorKind kFreeEd{1, 0, true};
constexpr EditorKind kTimeoutEd{0, 3600000, true};
constexpr EditorKind kDacEd{1, 0, false};
constexpr EditorKind kCaliEd{0, kIntMax, true};

constexpr int kSnMaxLen = 49;         // a serial number fits a 50-byte buffer with its zero
constexpr int kVersionDateAt = 4;
constexpr int kVersionDateLen = 11;
constexpr int kVersionTimeAt = 15;
constexpr int kVersionTimeLen = 8;
constexpr int kStatusAt = 7;
constexpr int kReReadAfterAckMs = 1000;
constexpr double kTempScale = 100.0;
const char* const kCaliCellPrefix = "le";
const char* const kFourBlanks = "    ";

// A new editor in cell (row, col); null when the table has no such cell.
QLineEdit* placeEditor(QTableWidget* t, int row, int col, const QString& text, const EditorKind& kind)
{
    if (row >= t->rowCount() || col >= t->columnCount())
        return nullptr;
    t->removeCellWidget(row, col);
    auto* e = new QLineEdit(text, t);
    e->setAlignment(Qt::AlignCenter);
    if (kind.min <= kind.max)
        e->setValidator(new QIntValidator(kind.min, kind.max, e));
    e->setEnabled(kind.editable);
    t->setCellWidget(row, col, e);
    return e;
}

// Calibration cell colour: yellow unset, red where the points stop rising, else white.
const char* caliCellStyle(const QVector<uint32_t>& v, int r)
{
    if (v[r] == 0)
        return "background-color: yellow;";
    if ((r > 0 && v[r] <= v[r - 1]) || (r + 1 < v.size() && v[r] >= v[r + 1]))
        return "background-color: red;";
    return "background-color: white;";
}

bool isSetAck(uint8_t code)
{
    switch (code) {
    case SetAutoDacPowerUp: case SetCaliList: case SetPressRelease: case SetProxRelease: case SetExcF:
    case SetRange: case SetFilter: case SetProxClearTouch: case SetTimeout: case SetCaliPoint:
    case SetChannelThreshold: case SetTouchThreshold: case SetCaliGroup: case TempCali: case Factory:
    case ChannelEnable: case ChannelReset: case SetSendType: case SetSN:
        return true;
    default:
        return false;
    }
}

bool isPlainAck(uint8_t code)
{
    return code == SetMode || code == AutoDac || code == AutoThreshold || code == ChannelResetAll || code == Reset;
}

// Per-channel table answers are accepted only when their length fits the model's channel count.
bool perChannelFits(int n, int bytesPerChannel, int channels)
{
    return n >= kLenShort && (n - kLenShort) / bytesPerChannel == channels;
}
}  // namespace

void fingerForm::sl_cmdRspErr(uint8_t, uint8_t, QByteArray, QByteArray)
{
    // The worker gave up on the command: the panel keeps what it shows.
}

void fingerForm::sl_cmdRsp(uint8_t infIdx, uint8_t addr, QByteArray req, QByteArray rsp)
{
    if (!isMine(infIdx, addr))
        return;
    if (req.size() < kAnswerHead || rsp.size() < kAnswerHead) {
        qDebug() << "cmd req len err";
        return;
    }
    // Dispatch by what was asked, never by the answer's code byte.
    const uint8_t code = uint8_t(req[3]);
    const QString name = class_sensorCmd::getStr(code);
    qDebug().noquote() << "req:" + name + "   " + QString::fromLatin1(req.toHex());
    qDebug().noquote() << "rsp:" + QString::fromLatin1(rsp.toHex());

    if (isSetAck(code)) {
        acknowledge(code, name, rsp);
        return;
    }
    if (isPlainAck(code)) {
        qDebug().noquote() << name + QObject::tr(":成功");
        return;
    }

    const Answer a(rsp);
    const int n = a.size();
    switch (code) {
    case SetAddr:
        if (a.at(kStatusAt) == Answer(req).at(kStatusAt)) {
            qDebug().noquote() << name + QObject::tr(":成功");
        } else {
            qDebug().noquote() << name + QObject::tr(":失败");
            hooks::warning(QObject::tr("命令错误"), name);
        }
        return;
    case GetAutoDacPowerUp:
        if (a.hasPayload(7, 1))
            ui->chkbtnAutoDacPowerUp->setChecked(a.at(7) != 0);
        return;
    case GetPressRelease:
    case GetProxRelease: {
        if (!a.hasPayload(4, 4))
            return;
        const bool press = code == GetPressRelease;
        (press ? ui->spbPressReleaseThreshold : ui->spbProxReleaseThreshold)->setValue(int32_t(a.u32(4)));
        (press ? ui->spbPressReleaseThresholdScale : ui->spbProxReleaseThresholdScale)->setValue(int8_t(a.at(8)));
        return;
    }
    case GetProxClearTouch:
        ui->chkbtnProxClearTouch->setChecked(a.at(4) != 0);
        if (a.hasPayload(5, 4))
            ui->spbProxClearTouchTimeout->setValue(int32_t(a.u32(5)));
        return;
    case GetSensorNum:
        qDebug() << "sensor channel counts:" << rsp.mid(kAnswerHead, n - kAnswerHead - kSumLen).toHex();
        return;
    case GetTemp:
        if (a.hasPayload(4, 2)) {
            const uint16_t raw = a.u16(4);
            qDebug("temp:%d", raw);
            ui->lbTemp->setText(QString::number(raw / kTempScale, 'f', 2));
        }
        return;
    case GetVersion:
        ui->lbVersionDate->setText(a.text(kVersionDateAt, kVersionDateLen));
        ui->lbVersionTime->setText(a.text(kVersionTimeAt, kVersionTimeLen));
        return;
    case GetSN:
        // Length byte, then the text; never past the answer or the 49 bytes a serial number has.
        ui->lbSN->setText(a.text(5, qMin<int>(a.at(4), kSnMaxLen)));
        return;
    case GetPrg:
        if (a.hasPayload(4, 3))
            ui->lbVersion->setText(QString::asprintf("%d.%d.%d", a.at(4), a.at(5), a.at(6)));
        return;
    case GetRunTime:
        if (a.hasPayload(5, 4))
            ui->lbRunTime->setText(QString::number(a.u32(5)));
        return;
    case GetCaliList:
        showCaliList(rsp);
        return;
    default:
        break;
    }

    // The answers below are laid out by the model's record.
    switch (code) {
    case GetDac: case GetExcF: case GetRange: case GetFilter: case GetTimeout: case GetCaliCh:
    case GetThreshold: case GetCaliState:
        break;
    default:
        qDebug() << "rsp cmd not found";
        return;
    }
    const finger_param_ts* p = record("answer");
    if (!p)
        return;
    const int ch = p->chNum;
    switch (code) {
    case GetDac: {
        if (n < 4 * ch + kLenShort)
            return;
        QVector<uint8_t> first, second;
        QVector<uint16_t> value;
        for (int i = 0; i < ch; ++i) {
            first.append(a.at(4 + 4 * i));
            second.append(a.at(5 + 4 * i));
            value.append(a.u16(6 + 4 * i));
        }
        setDac(first, second, value);
        return;
    }
    case GetExcF:
    case GetRange: {
        if (n - kLenShort != ch)
            return;
        QVector<uint8_t> values;
        for (int i = 0; i < ch; ++i)
            values.append(a.at(4 + i));
        code == GetExcF ? setExcF(values) : setRange(values);
        return;
    }
    case GetFilter: {
        if (!perChannelFits(n, 6, ch))
            return;
        QVector<uint8_t> first, second;
        QVector<float> value;
        for (int i = 0; i < ch; ++i) {
            first.append(a.at(4 + i));
            second.append(a.at(4 + ch + i));
            value.append(a.f32(4 + 2 * ch + 4 * i));
        }
        setFilter(first, second, value);
        return;
    }
    case GetTimeout:
    case GetThreshold: {
        if (!perChannelFits(n, 4, ch))
            return;
        QVector<uint32_t> values;
        for (int i = 0; i < ch; ++i)
            values.append(a.u32(4 + 4 * i));
        code == GetThreshold ? setThreshold(values) : setTimeout(values);
        return;
    }
    case GetCaliCh: {
        QVector<uint32_t> values;
        for (int i = 0; i < p->caliNum && a.hasPayload(4 + 4 * i, 4); ++i)
            values.append(a.u32(4 + 4 * i));
        setCaliCh(Answer(req).at(4), values);
        return;
    }
    case GetCaliState:
        showCaliState(rsp);
        return;
    default:
        return;
    }
}

void fingerForm::acknowledge(uint8_t code, const QString& name, const QByteArray& rsp)
{
    const uint8_t status = Answer(rsp).at(kStatusAt);
    if (status == 0) {
        qDebug().noquote() << name + QObject::tr(":成功");
    } else {
        qDebug().noquote() << name + QObject::tr(":失败") + QString::number(status);
        hooks::warning(QObject::tr("命令错误"), name + ":" + QString::number(status));
    }
    // The sensor may have taken another value than the one written: show what it holds.
    if (code == SetExcF || code == SetRange)
        clickGetThresholdLater(kReReadAfterAckMs);
}

void fingerForm::showCaliList(const QByteArray& rsp)
{
    const Answer a(rsp);
    ui->cbbCaliList->clear();
    caliNList.clear();
    const int count = int8_t(a.at(4));
    QStringList labels;
    for (int i = 0; i < count && a.hasPayload(5 + 4 * i, 4); ++i) {
        const float f = a.f32(5 + 4 * i);
        caliNList.append(f);
        const QString text = QString::number(f, 'f', 1);
        ui->cbbCaliList->addItem(text);
        labels << text;
    }
    ui->tbwCaliTable->setVerticalHeaderLabels(labels);
}

void fingerForm::showCaliState(const QByteArray& rsp)
{
    const finger_param_ts* p = record("calibration state");
    if (!p)
        return;
    // States in the order their groups are written; 7 stands for every state above 6.
    constexpr uint8_t kUnknownState = 7;
    static const struct {
        uint8_t state;
        const char* label;
    } groups[] = {
        {1, "未标定:"}, {2, "错误:"}, {4, "一致性差:"}, {5, "变化小:"},
        {kUnknownState, "未知:"}, {3, "检查固件:"}, {6, "0.1N不存在:"},
    };
    QString lists[kUnknownState + 1];
    const Answer a(rsp);
    for (int i = 0; i < p->pressNum + p->yddsNum; ++i) {
        if (!a.hasPayload(4 + i, 1))
            break;
        const uint8_t s = qMin(a.at(4 + i), kUnknownState);
        if (s != 0)
            lists[s] += QString::number(i) + ",";
    }
    QString text;
    for (const auto& g : groups)
        if (!lists[g.state].isEmpty())
            text += QObject::tr(g.label) + lists[g.state] + kFourBlanks;
    if (text.isEmpty()) {
        ui->lbCaliTableState->setText(QObject::tr("标定参数正常"));
        ui->lbCaliTableState->setStyleSheet("QLabel#lbCaliTableState{color:black}");
    } else {
        ui->lbCaliTableState->setText(text);
        ui->lbCaliTableState->setStyleSheet("QLabel#lbCaliTableState{color:red}");
    }
}

// ---- parameter table ----------------------------------------------------------------------------

void fingerForm::writeParam(uint8_t code, int row, const QString& text, bool wide)
{
    if (text.isEmpty())
        return;
    Params params;
    params.u8(4, uint8_t(row));
    if (wide)
        params.u32(5, text.toUInt());
    else
        params.u8(5, uint8_t(text.toInt()));
    request(code, params.p, class_sensorCmd::getRspLen(code));
}

void fingerForm::writeFilter(int row, const QLineEdit* first, const QLineEdit* second, const QLineEdit* value)
{
    if (first->text().isEmpty() && second->text().isEmpty() && value->text().isEmpty())
        return;
    request(class_sensorCmd::filterFrame(devId, uint8_t(row), uint8_t(first->text().toInt()),
                                         uint8_t(second->text().toInt()), value->text().toFloat()),
            class_sensorCmd::getRspLen(SetFilter));
}

void fingerForm::fillParamColumn(const QVector<uint32_t>& values, int column)
{
    // Columns of one value per channel, each written back by its own command.
    static const struct {
        int column;
        EditorKind kind;
        uint8_t writeCode;
        bool wide;  // 32-bit value in bytes 5..8, else one byte in byte 5
        const char* mismatchLog;
    } columns[] = {
        {kColThreshold, kThresholdEd, SetChannelThreshold, true, "setThreshold err:%d,%d"},
        {kColExcF, kExcFEd, SetExcF, false, "setExcf err:%d,%d"},
        {kColRange, kRangeEd, SetRange, false, "setRange err:%d,%d"},
        {kColTimeout, kTimeoutEd, SetTimeout, true, "setTimeout err:%d,%d"},
    };
    const auto* c = std::find_if(std::begin(columns), std::end(columns),
                                 [column](const auto& entry) { return entry.column == column; });
    if (c == std::end(columns))
        return;
    QTableWidget* t = ui->tbwThreshold;
    if (t->rowCount() != values.size()) {
        qDebug(c->mismatchLog, t->rowCount(), values.size());
        return;
    }
    const uint8_t code = c->writeCode;
    const bool wide = c->wide;
    for (int r = 0; r < values.size(); ++r)
        if (QLineEdit* e = placeEditor(t, r, column, QString::number(values[r]), c->kind))
            connect(e, &QLineEdit::editingFinished, e, [this, e, r, code, wide] { writeParam(code, r, e->text(), wide); });
}

void fingerForm::setThreshold(const QVector<uint32_t>& values) { fillParamColumn(values, kColThreshold); }
void fingerForm::setTimeout(const QVector<uint32_t>& values) { fillParamColumn(values, kColTimeout); }
void fingerForm::setExcF(const QVector<uint8_t>& values) { fillParamColumn({values.begin(), values.end()}, kColExcF); }
void fingerForm::setRange(const QVector<uint8_t>& values) { fillParamColumn({values.begin(), values.end()}, kColRange); }

void fingerForm::setFilter(const QVector<uint8_t>& first, const QVector<uint8_t>& second, const QVector<float>& value)
{
    QTableWidget* t = ui->tbwThreshold;
    const int rows = t->rowCount();
    if (rows != first.size() || rows != second.size() || rows != value.size()) {
        qDebug("setFilter err:%d,%d,%d,%d", rows, first.size(), second.size(), value.size());
        return;
    }
    for (int r = 0; r < rows; ++r) {
        QLineEdit* e1 = placeEditor(t, r, kColFilterFirst, QString::number(first[r]), kFilterByteEd);
        QLineEdit* e2 = placeEditor(t, r, kColFilterSecond, QString::number(second[r]), kFilterByteEd);
        QLineEdit* e3 = placeEditor(t, r, kColFilterValue, QString::number(value[r], 'g', 6), kFreeEd);
        if (!e1 || !e2 || !e3)
            continue;
        for (QLineEdit* e : {e1, e2, e3})
            connect(e, &QLineEdit::editingFinished, e, [this, r, e1, e2, e3] { writeFilter(r, e1, e2, e3); });
    }
}

void fingerForm::setDac(const QVector<uint8_t>& first, const QVector<uint8_t>& second, const QVector<uint16_t>& value)
{
    QTableWidget* t = ui->tbwThreshold;
    const int rows = t->rowCount();
    if (rows != first.size() || rows != second.size() || rows != value.size()) {
        qDebug("setDac err:%d,%d,%d,%d", rows, first.size(), second.size(), value.size());
        return;
    }
    for (int r = 0; r < rows; ++r) {
        placeEditor(t, r, kColDacFirst, QString::number(first[r]), kDacEd);
        placeEditor(t, r, kColDacSecond, QString::number(second[r]), kDacEd);
        placeEditor(t, r, kColDacValue, QString::number(value[r]), kDacEd);
    }
}

// ---- calibration table --------------------------------------------------------------------------

void fingerForm::setCaliCh(uint8_t ch, const QVector<uint32_t>& values)
{
    const finger_param_ts* p = record("setCaliCh");
    if (!p)
        return;
    if (ch >= p->pressNum + p->yddsNum || values.size() != p->caliNum) {
        qDebug("setCaliCh err:%d,%d,%d", ch, values.size(), p->caliNum);
        return;
    }
    QTableWidget* t = ui->tbwCaliTable;
    for (int r = 0; r < values.size(); ++r) {
        QLineEdit* e = placeEditor(t, r, ch, QString::number(values[r]), kCaliEd);
        if (!e)
            continue;
        e->setObjectName(kCaliCellPrefix + QString::number(r));
        e->setStyleSheet(caliCellStyle(values, r));
        connect(e, &QLineEdit::editingFinished, e, [this, ch, e] { writeCali(ch, e); });
    }
    t->resizeRowsToContents();
    t->resizeColumnsToContents();
}

void fingerForm::writeCali(uint8_t ch, const QLineEdit* editor)
{
    const uint32_t v = editor->text().toUInt();
    qDebug("diff:%u", v);
    const auto point = uint8_t(editor->objectName().mid(int(qstrlen(kCaliCellPrefix))).toInt());
    QByteArray frame;
    if (v <= kMax24) {
        frame = class_sensorCmd::frame(devId, SetCaliPoint, Params().u8(4, ch).u8(5, point).u24(6, v).p);
    } else {
        // A value above 24 bits needs the long form: bytes 6..9, then the sum.
        constexpr int kLongLen = 12;
        frame = QByteArray(kLongLen, '\0');
        auto* b = reinterpret_cast<uint8_t*>(frame.data());
        b[0] = 0xAA;
        b[1] = 0x55;
        b[2] = devId;
        b[3] = SetCaliPoint;
        b[4] = ch;
        b[5] = point;
        for (int i = 0; i < 4; ++i)
            b[6 + i] = uint8_t(v >> (8 * i));
        class_sensorCmd::closeFrame(b, kLongLen);
    }
    request(frame, class_sensorCmd::getRspLen(SetCaliPoint));
    getCaliCh(ch);
    getCaliState();
}
