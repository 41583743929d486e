#include "forceRules.h"

#include "fingerParams.h"
#include "ydds.h"

#include <QProgressBar>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <limits>

namespace forceRules {
namespace {

// The colour scale runs from 0 to this over 0..kFullForce newtons.
constexpr float kScaleTop = 216.0f;
constexpr int kSaturatedGreenBlue = 9;
constexpr Qt::Alignment kTextAlignment = Qt::AlignLeft | Qt::AlignVCenter;

// The pressure colour runs from kNoLoad grey towards a dark red, brightened in red and darkened in
// green and blue, along t^0.4 of the load share t.
constexpr float kFullPercent = 100.0f;
constexpr float kPressureExponent = 0.4f;
constexpr int kNoLoad = 240;
constexpr int kFullLoadRed = 139;
constexpr int kFullLoadGreenBlue = 9;
constexpr double kRedGain = 1.5;
constexpr double kGreenBlueGain = 0.5;
constexpr int kComponentMax = 255;
constexpr int kForceDecimals = 2;  // value texts in newtons

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
        return normal > 0 && direction < kDegreesPerTurn ? direction : ydds::kNoDirection;
    if (tangential > 0 && direction < kDegreesPerTurn)
        return uint16_t((uint32_t(direction) + params.angleOffset) % kDegreesPerTurn);
    return ydds::kNoDirection;
}

float arrowRatio(float tangential, const ArrowParams& params)
{
    // Where N decides, the arrow is drawn whatever T is; its length must not leave 0..1.
    if (params.arrowWhen == ArrowWhen::NormalAnyDirection && !(tangential > 0))
        return 0.0f;
    return tangential > kFullForce ? 1.0f : std::min(tangential / kFullForce, 1.0f);
}

QString valueText(float normal, float tangential, uint16_t direction)
{
    return QStringLiteral("%1\n%2\n%3")
        .arg(QString::number(normal, 'f', kForceDecimals), QString::number(tangential, 'f', kForceDecimals),
             QString::number(direction));
}

void applyForceArrow(ydds& label, float normal, float tangential, uint16_t direction, bool showData,
                     const ArrowParams& params)
{
    label.brush.setColor(forceColour(normal, params));
    label.dir = arrowDirection(normal, tangential, direction, params);
    label.ratio = arrowRatio(tangential, params);
    if (params.valueText == ValueText::Written) {
        label.setAlignment(kTextAlignment);
        label.setText(showData ? valueText(normal, tangential, direction) : QString());
    }
    label.update();
}

float loadPercent(float load, float fullScale)
{
    return load * kFullPercent / fullScale;
}

QColor pressureColour(float percent)
{
    // A percentage that is not a number passes neither test and shows no load.
    float share = 0.0f;
    if (percent > kFullPercent)
        share = 1.0f;
    else if (percent > 0)
        share = percent / kFullPercent;
    const double p = std::pow(double(share), double(kPressureExponent));
    const auto component = [p](int fullLoad, double gain) {
        const double c = fullLoad * p * gain + kNoLoad * (1 - p);
        return std::clamp(int(c), 0, kComponentMax);  // truncated, not rounded
    };
    const int greenBlue = component(kFullLoadGreenBlue, kGreenBlueGain);
    return QColor(component(kFullLoadRed, kRedGain), greenBlue, greenBlue);
}

void applyPressure(ydds& taxel, float load, float fullScale, bool loadText, bool showData)
{
    taxel.setAlignment(kTextAlignment);
    taxel.brush.setColor(pressureColour(loadPercent(load, fullScale)));
    taxel.update();
    if (loadText)
        taxel.setText(showData ? QString::number(load, 'f', kForceDecimals) : QString());
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

ydds* findTaxelLabel(const QWidget& view, int number)
{
    return findNumbered<ydds>(view, kTaxelPrefix, number);
}

QProgressBar* findBar(const QWidget& view, const char* prefix, int number)
{
    return findNumbered<QProgressBar>(view, prefix, number);
}

void rangeProximityBars(const QWidget& view, const finger_param_ts* record, int maximum)
{
    constexpr int kAsTheFormHolds = std::numeric_limits<int>::max();
    const struct {
        const char* prefix;
        int count;
    } kinds[] = {{kSelfBarPrefix, record ? record->sProxNum : kAsTheFormHolds},
                 {kMutualBarPrefix, record ? record->mProxNum : kAsTheFormHolds}};
    for (const auto& kind : kinds) {
        for (int k = 0; k < kind.count; ++k) {
            QProgressBar* bar = findBar(view, kind.prefix, k + 1);
            if (!bar) {
                if (record)
                    return;
                break;
            }
            bar->setRange(0, maximum);
        }
    }
}

}  // namespace forceRules
