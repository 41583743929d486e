// The channel-list views. View 2 lists every decoded value in rows of its own beside its arrow and
// bar; view 18 has the arrows and the bar only (its form has no place for rows, and the panel's
// rows show every value).

#include "arrayView.h"
#include "dataForm.h"
#include "viewFactory.h"

#include "ui_fingerForm_18.h"
#include "ui_fingerForm_2.h"

#include <QDebug>
#include <QPixmap>
#include <memory>

namespace {

constexpr int kPicturePage = 2;
constexpr int kRowsPerPoint = 3;
constexpr int kForceDecimals = 2;
const char* const kPicture = ":/finger/finger2.png";

}  // namespace

class fingerForm_2 : public arrayView {
    Q_OBJECT
public:
    explicit fingerForm_2(QWidget* parent = nullptr);
    ~fingerForm_2() override;

    void setData(uint8_t ch, uint32_t raw) override;
    void setTouchState(uint8_t ch, bool touched) override;
    void setYdds(uint8_t point, float normal, float tangential, uint16_t direction) override;
    void setSProx(uint8_t ch, uint32_t value) override;

    void addSensorChannelWg(QString name, uint8_t kind);

    // As forceViewWith measures its views: the form on a bare widget, its picture page as shown.
    static QSize formMinimumSize();

private:
    // The picture page shows the board, or goes when the picture is missing.
    static void showPicture(Ui_fingerForm_2& ui);

    int channels() const { return fingerParam ? fingerParam->chNum : 0; }
    int points() const { return fingerParam ? fingerParam->yddsNum : 0; }
    // A row; null when the view has no such row.
    dataForm* rowOf(int row) const;

    const std::unique_ptr<Ui_fingerForm_2> ui;  // pointers into the view's own widget tree
    QList<dataForm*> dataFormList;              // the rows; children of ui->sawgDataList
};

fingerForm_2::fingerForm_2(QWidget* parent)
    : arrayView(arrayView::row(2), parent), ui(std::make_unique<Ui_fingerForm_2>())
{
    qDebug("fingerForm_2 new:%d", channels());
    ui->setupUi(this);
    ui->tabWidget->setCurrentIndex(0);
    showPicture(*ui);

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

    rangeBars();
}

fingerForm_2::~fingerForm_2() { qDebug("fingerForm_2 delete"); }

void fingerForm_2::showPicture(Ui_fingerForm_2& ui)
{
    const QPixmap picture(QString::fromLatin1(kPicture));
    if (picture.isNull())
        ui.tabWidget->removeTab(kPicturePage);
    else
        ui.lbPCB->setPixmap(picture.scaled(ui.lbPCB->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

// The rows go into a scroll area: they do not size the view.
QSize fingerForm_2::formMinimumSize()
{
    return viewFactory::measureForm<Ui_fingerForm_2>(&showPicture);
}

void fingerForm_2::addSensorChannelWg(QString name, uint8_t kind)
{
    auto* row = new dataForm(uint8_t(dataFormList.size()), name, kind, ui->sawgDataList);
    ui->lyDataList->addWidget(row);
    dataFormList.append(row);
}

dataForm* fingerForm_2::rowOf(int row) const
{
    return row >= 0 && row < dataFormList.size() ? dataFormList[row] : nullptr;
}

void fingerForm_2::setData(uint8_t ch, uint32_t raw)
{
    dataForm* row = rowOf(ch);
    if (!row) {
        qDebug("list len:%d", int(dataFormList.size()));
        return;
    }
    row->showValue(QString::number(raw));
}

void fingerForm_2::setTouchState(uint8_t ch, bool touched)
{
    if (dataForm* row = rowOf(ch))
        row->showTouched(touched);
}

// The three values go to the point's rows; the label draws the arrow without a text.
void fingerForm_2::setYdds(uint8_t point, float normal, float tangential, uint16_t direction)
{
    const int first = channels() + kRowsPerPoint * point;
    dataForm* normalRow = rowOf(first);
    dataForm* tangentialRow = rowOf(first + 1);
    dataForm* directionRow = rowOf(first + 2);
    if (!normalRow || !tangentialRow || !directionRow)
        return;
    normalRow->showValue(QString::number(normal, 'f', kForceDecimals));
    tangentialRow->showValue(QString::number(tangential, 'f', kForceDecimals));
    directionRow->showValue(QString::number(direction));
    arrayView::setYdds(point, normal, tangential, direction);
}

void fingerForm_2::setSProx(uint8_t ch, uint32_t value)
{
    dataForm* row = rowOf(channels() + kRowsPerPoint * points() + ch);
    if (!row)
        return;
    row->showValue(QString::number(value));
    arrayView::setSProx(ch, value);
}

// Arrows and bar only; its rows would repeat the panel's.
class fingerForm_18 : public arrayViewWith<18, Ui_fingerForm_18> {
    Q_OBJECT
public:
    using forceViewWith::forceViewWith;
};

REGISTER_FINGER_VIEW(2) REGISTER_FINGER_VIEW(18)

#include "channelViews.moc"
