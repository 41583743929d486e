#pragma once
// The rules by which a model view turns one decoded force point or proximity value into its
// widgets. Written once here; every view family passes its own parameters.

#include <QColor>
#include <QString>
#include <cstdint>

class QProgressBar;
class QWidget;
class ydds;
struct finger_param_ts;

namespace forceRules {

// Widget name prefixes; the number after them counts from 1.
constexpr const char* kPointLabelPrefix = "label_";
constexpr const char* kSelfBarPrefix = "pbSProx_";
constexpr const char* kMutualBarPrefix = "pbMProx_";
constexpr const char* kTaxelPrefix = "lbPress_";

// A force of this many newtons reaches the darkest disc colour and the full arrow length.
constexpr float kFullForce = 20.0f;
// Directions at or above this are "no direction" from a sensor.
constexpr uint16_t kDegreesPerTurn = 360;

// When a point gets an arrow and which direction it stores.
enum class ArrowWhen : uint8_t {
    TangentialWithDirection,  // T > 0 and a direction 0..359, turned by the angle offset
    NormalAnyDirection,       // N > 0 and a direction 0..359, unturned; an arrow whatever T is
};

// Whether the rule writes the label's alignment and value text.
enum class ValueText : uint8_t { Written, Untouched };

struct ArrowParams {
    uint8_t red = 139;         // red of the dark-red colours
    uint8_t pale = 140;        // green and blue of the third colour band
    uint16_t angleOffset = 0;  // degrees added to the direction (sensors mounted turned)
    ArrowWhen arrowWhen = ArrowWhen::TangentialWithDirection;
    ValueText valueText = ValueText::Written;
};

// Disc colour of a normal force (opaque).
QColor forceColour(float normal, const ArrowParams& params);
// Direction the label stores; ydds::kNoDirection for no arrow.
uint16_t arrowDirection(float normal, float tangential, uint16_t direction, const ArrowParams& params);
// Arrow length factor, at most 1. Where T decides on the arrow it is not bounded below (no arrow
// is drawn for T <= 0); where N decides, a negative or not-a-number T gives 0.
float arrowRatio(float tangential, const ArrowParams& params);
// "N\nT\ndirection" with two decimals for the forces and the direction as received.
QString valueText(float normal, float tangential, uint16_t direction);

// The force-arrow rule on one label: colour, direction, length, and (where the params say so)
// alignment and text, the text only while showData is set.
void applyForceArrow(ydds& label, float normal, float tangential, uint16_t direction, bool showData,
                     const ArrowParams& params);

// Percentage of full scale a load stands for; held in single precision.
float loadPercent(float load, float fullScale);
// The pressure colour of a load percentage (100 is full scale), opaque: from (240, 240, 240) at no
// load (also for a percentage that is not a number) to (208, 4, 4) at full scale and above.
QColor pressureColour(float percent);

// The pressure-taxel rule on one label: its alignment and the colour of its load; with loadText
// also the load in newtons with two decimals as its text, empty while showData is off.
void applyPressure(ydds& taxel, float load, float fullScale, bool loadText, bool showData);

// The proximity-bar rule: the value, or the bar's maximum when the value reaches it.
void applyProximity(QProgressBar& bar, uint32_t value);

// The rules as a view's setters use them: find the widget of the 0-based point or channel, then
// apply the rule. False when the view has no such widget (nothing changed).
bool setPointArrow(const QWidget& view, uint8_t point, float normal, float tangential, uint16_t direction,
                   bool showData, const ArrowParams& params);
bool setProximity(const QWidget& view, const char* prefix, uint8_t ch, uint32_t value);

// "prefix" + number among all descendants of the view; null when there is none.
ydds* findPointLabel(const QWidget& view, int number);
ydds* findTaxelLabel(const QWidget& view, int number);
QProgressBar* findBar(const QWidget& view, const char* prefix, int number);

// Ranges the self bars, then the mutual bars of a record to 0..maximum. Stops at the first bar
// that is missing (the later bars of both kinds keep the range of their form). A view without a
// record ranges the bars its form holds.
void rangeProximityBars(const QWidget& view, const finger_param_ts* record, int maximum);

}  // namespace forceRules
