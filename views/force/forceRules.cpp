#include "forceRules.h"

#include "fingerParams.h"
#include "ydds.h"

#include <QProgressBar>
#include <QWidget>
#include <algorithm>

namespace forceRules {
namespace {

// The colour scale runs from 0 to this over 0..kFullForce newtons.
constexpr float kScaleTop = 216.0f;
constexpr int kSaturatedGreenBlue = 9;
constexpr Qt::Alignment kTextAlignment = Qt::AlignLeft | Qt::AlignVCenter;

template <typename Widget>
Widget* findNumbered(const QWidget& view, const char* prefix, int number)
{
    return view.findChild<Widget*>(QLatin1String(prefix) + QString::number(number));
}

}  // namespace

QColor forceColour(float normal, const ArrowParams& params)
{
    const QColor saturated(params.red, kSaturatedGreenBlue, kSaturatedGreenBlue);
    if (normal > kFullForce)
        return saturated;
    const float s = normal / kFullForce * kScaleTop;
    // First band whose bound lies above s; a NaN force matches none and shows saturated.
    const struct {
        float below;
        QColor colour;
    } bands[] = {
        {10, QColor(240, 240, 240)},
        {36, QColor(255, 165, 165)},
        {72, QColor(255, params.pale, params.pale)},
        {108, QColor(255, 105, 97)},
        {144, QColor(255, 69, 0)},
        {180, QColor(220, 20, 60)},
        {kScaleTop, QColor(params.red, 0, 0)},
    };
    for (const auto& band : bands) {
        if (s < band.below)
            return band.colour;
    }
    return saturated;
}

uint16_t arrowDirection(float normal, float tangential, uint16_t direction, const ArrowParams& params)
{
    if (params.arrowWhen == ArrowWhen::NormalAnyDirection)
        return normal > 0 ? direction : ydds::kNoDirection;
    if (tangential > 0 && direction < kDegreesPerTurn)
        return uint16_t((uint32_t(direction) + params.angleOffset) % kDegreesPerTurn);
    return ydds::kNoDirection;
}

float arrowRatio(float tangential)
{
    return tangential > kFullForce ? 1.0f : std::min(tangential / kFullForce, 1.0f);
}

QString valueText(float normal, float tangential, uint16_t direction)
{
    return QStringLiteral("%1\n%2\n%3")
        .arg(QString::number(normal, 'f', 2), QString::number(tangential, 'f', 2),
             QString::number(direction));
}

void applyForceArrow(ydds& label, float normal, float tangential, uint16_t direction, bool showData,
                     const ArrowParams& params)
{
    label.brush.setColor(forceColour(normal, params));
    label.dir = arrowDirection(normal, tangential, direction, params);
    label.ratio = arrowRatio(tangential);
    if (params.valueText == ValueText::Written) {
        label.setAlignment(kTextAlignment);
        label.setText(showData ? valueText(normal, tangential, direction) : QString());
    }
    label.update();
}

void applyProximity(QProgressBar& bar, uint32_t value)
{
    const int maximum = bar.maximum();
    // Unsigned: a reading beyond the int range still shows a full bar.
    const bool full = maximum < 0 || uint32_t(maximum) <= value;
    const int shown = full ? maximum : int(value);
    if (bar.value() == shown)
        return;
    // A new value makes QProgressBar repaint itself, and the frames behind it, at once; with
    // updates held off for the call it is painted in the next event pass with everything else.
    const bool updates = bar.updatesEnabled();
    bar.setUpdatesEnabled(false);
    bar.setValue(shown);
    bar.setUpdatesEnabled(updates);
    bar.update();
}

bool setPointArrow(const QWidget& view, uint8_t point, float normal, float tangential, uint16_t direction,
                   bool showData, const ArrowParams& params)
{
    ydds* label = findPointLabel(view, point + 1);
    if (!label)
        return false;
    applyForceArrow(*label, normal, tangential, direction, showData, params);
    return true;
}

bool setProximity(const QWidget& view, const char* prefix, uint8_t ch, uint32_t value)
{
    QProgressBar* bar = findBar(view, prefix, ch + 1);
    if (!bar)
        return false;
    applyProximity(*bar, value);
    return true;
}

ydds* findPointLabel(const QWidget& view, int number)
{
    return findNumbered<ydds>(view, kPointLabelPrefix, number);
}

QProgressBar* findBar(const QWidget& view, const char* prefix, int number)
{
    return findNumbered<QProgressBar>(view, prefix, number);
}

void rangeProximityBars(const QWidget& view, const finger_param_ts* record, int maximum)
{
    if (!record)
        return;
    const struct {
        const char* prefix;
        int count;
    } kinds[] = {{kSelfBarPrefix, record->sProxNum}, {kMutualBarPrefix, record->mProxNum}};
    for (const auto& kind : kinds) {
        for (int k = 0; k < kind.count; ++k) {
            QProgressBar* bar = findBar(view, kind.prefix, k + 1);
            if (!bar)
                return;
            bar->setRange(0, maximum);
        }
    }
}

}  // namespace forceRules
