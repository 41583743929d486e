// The channel-list views. View 2 lists every decoded value in rows of its own beside its arrow and
// bar; view 18 has the arrows and the bar only (its form has no place for rows, and the panel's
// rows show every value).

#include "class_finger.h"
#include "dataForm.h"
#include "forceRules.h"
#include "viewFactory.h"
#include "ydds.h"

#include "ui_fingerForm_18.h"
#include "ui_fingerForm_2.h"

#include <QDebug>
#include <QLabel>
#include <QPixmap>
#include <memory>

namespace {

constexpr int kBarMaximum = 300000;
constexpr int kPicturePage = 2;
constexpr int kRowsPerPoint = 3;
constexpr int kForceDecimals = 2;
const char* const kPicture = ":/finger/finger2.png";

// Both views draw their arrows by the standard rule; view 2 shows the values in its rows instead.
constexpr forceRules::ArrowParams kRowArrow{139, 140, 0, forceRules::ArrowWhen::TangentialWithDirection,
                                            forceRules::ValueText::Untouched};
constexpr forceRules::ArrowParams kLabelArrow{};

}  // namespace

class fingerForm_2 : public QWidget, public class_finger {
    Q_OBJECT
public:
    explicit fingerForm_2(QWidget* parent = nullptr);
    ~fingerForm_2() override;

    void setData(uint8_t ch, uint32_t raw) override;
    void setTouchState(uint8_t ch, bool touched) override;
    void setYdds(uint8_t point, float normal, float tangential, uint16_t direction) override;
    void setSProx(uint8_t ch, uint32_t value) override;

    void addSensorChannelWg(QString name, uint8_t kind);

private:
    int channels() const { return fingerParam ? fingerParam->chNum : 0; }
    int points() const { return fingerParam ? fingerParam->yddsNum : 0; }
    // The value label of a row; null when the view has no such row.
    QLabel* valueOf(int row) const;

    const std::unique_ptr<Ui_fingerForm_2> ui;  // pointers into the view's own widget tree
    QList<dataForm*> dataFormList;              // the rows; children of ui->sawgDataList
};

fingerForm_2::fingerForm_2(QWidget* parent)
    : QWidget(parent), class_finger(2, this), ui(std::make_unique<Ui_fingerForm_2>())
{
    qDebug("fingerForm_2 new:%d", channels());
    ui->setupUi(this);
    ui->tabWidget->setCurrentIndex(0);

    const QPixmap picture(QString::fromLatin1(kPicture));
    if (picture.isNull())
        ui->tabWidget->removeTab(kPicturePage);
    else
        ui->lbPCB->setPixmap(picture.scaled(ui->lbPCB->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));

    for (int i = 0; i < channels(); ++i) {
        addSensorChannelWg(QString::fromUtf8("通道") + QString::number(i), dataForm::kChannelRow);
        const dataForm* row = dataFormList.last();
        // The rows' controls surface as the view's own channel signals.
        connect(row, &dataForm::si_reset, this, [this](uint8_t idx) { emit fingerSignals.si_channelReset(idx); });
        connect(row, &dataForm::si_en, this,
                [this](uint8_t idx, bool en) { emit fingerSignals.si_channelEn(idx, en); });
    }
    for (int p = 0; p < points(); ++p) {
        addSensorChannelWg(QString::fromUtf8("法向力") + QString::number(p), dataForm::kValueRow);
        addSensorChannelWg(QString::fromUtf8("切向力") + QString::number(p), dataForm::kValueRow);
        addSensorChannelWg(QString::fromUtf8("方向") + QString::number(p), dataForm::kValueRow);
    }
    addSensorChannelWg(QString::fromUtf8("自电容接近") + QString::number(0), dataForm::kValueRow);

    forceRules::rangeProximityBars(*this, fingerParam, kBarMaximum);
}

fingerForm_2::~fingerForm_2() { qDebug("fingerForm_2 delete"); }

void fingerForm_2::addSensorChannelWg(QString name, uint8_t kind)
{
    auto* row = new dataForm(uint8_t(dataFormList.size()), name, kind, ui->sawgDataList);
    ui->lyDataList->addWidget(row);
    dataFormList.append(row);
}

QLabel* fingerForm_2::valueOf(int row) const
{
    return row >= 0 && row < dataFormList.size() ? dataFormList[row]->dataLabel() : nullptr;
}

void fingerForm_2::setData(uint8_t ch, uint32_t raw)
{
    QLabel* value = valueOf(ch);
    if (!value) {
        qDebug("list len:%d", int(dataFormList.size()));
        return;
    }
    value->setText(QString::number(raw));
}

void fingerForm_2::setTouchState(uint8_t ch, bool touched)
{
    if (QLabel* value = valueOf(ch)) {
        const QColor c = touched ? QColor(255, 0, 0) : QColor(0, 0, 0);
        value->setStyleSheet(QString::asprintf("color: rgb(%d, %d, %d);", c.red(), c.green(), c.blue()));
    }
}

void fingerForm_2::setYdds(uint8_t point, float normal, float tangential, uint16_t direction)
{
    const int first = channels() + kRowsPerPoint * point;
    QLabel* normalRow = valueOf(first);
    QLabel* tangentialRow = valueOf(first + 1);
    QLabel* directionRow = valueOf(first + 2);
    if (!normalRow || !tangentialRow || !directionRow)
        return;
    normalRow->setText(QString::number(normal, 'f', kForceDecimals));
    tangentialRow->setText(QString::number(tangential, 'f', kForceDecimals));
    directionRow->setText(QString::number(direction));
    if (!forceRules::setPointArrow(*this, point, normal, tangential, direction, false, kRowArrow))
        qDebug("not found lb");
}

void fingerForm_2::setSProx(uint8_t ch, uint32_t value)
{
    QLabel* row = valueOf(channels() + kRowsPerPoint * points() + ch);
    if (!row)
        return;
    row->setText(QString::number(value));
    forceRules::setProximity(*this, forceRules::kSelfBarPrefix, ch, value);
}

class fingerForm_18 : public QWidget, public class_finger {
    Q_OBJECT
public:
    explicit fingerForm_18(QWidget* parent = nullptr);
    ~fingerForm_18() override;

    void setYdds(uint8_t point, float normal, float tangential, uint16_t direction) override;
    void setSProx(uint8_t ch, uint32_t value) override;
    void setMProx(uint8_t ch, uint32_t value) override;

private:
    const std::unique_ptr<Ui_fingerForm_18> ui;
    bool showData = false;  // no switch reaches it: the arrow texts stay empty
};

fingerForm_18::fingerForm_18(QWidget* parent)
    : QWidget(parent), class_finger(18, this), ui(std::make_unique<Ui_fingerForm_18>())
{
    qDebug("fingerForm_18 new");
    ui->setupUi(this);
    ui->tabWidget->setCurrentIndex(0);
    forceRules::rangeProximityBars(*this, fingerParam, kBarMaximum);
}

fingerForm_18::~fingerForm_18() { qDebug("fingerForm_18 delete"); }

void fingerForm_18::setYdds(uint8_t point, float normal, float tangential, uint16_t direction)
{
    if (!forceRules::setPointArrow(*this, point, normal, tangential, direction, showData, kLabelArrow))
        qDebug("not found lb:%d", point + 1);
}

void fingerForm_18::setSProx(uint8_t ch, uint32_t value)
{
    forceRules::setProximity(*this, forceRules::kSelfBarPrefix, ch, value);
}

void fingerForm_18::setMProx(uint8_t ch, uint32_t value)
{
    forceRules::setProximity(*this, forceRules::kMutualBarPrefix, ch, value);
}

REGISTER_FINGER_VIEW(2) REGISTER_FINGER_VIEW(18)

#include "channelViews.moc"
