#include "viewFactory.h"

#include "class_finger.h"
#include "fingerParams.h"

#include <QDebug>
#include <QWidget>
#include <array>

namespace viewFactory {
namespace {

constexpr uint8_t kNoView = 0;

// Codes shown by the view of the same number.
constexpr uint8_t kOwnViews[] = {2,  17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 34, 37,
                                 38, 39, 40, 41, 42, 43, 44, 45, 46, 47, 48, 49, 50, 52, 54, 55, 56, 57,
                                 58, 59, 67, 69, 70, 76, 81, 83, 85, 86, 95, 96, 98, 102, 110, 111};

struct Alias {
    uint8_t typeCode;
    uint8_t viewClass;
};
// Codes that share the view of a related model.
constexpr Alias kAliases[] = {
    {60, 20},  {61, 21}, {62, 23},  {63, 24},  {64, 50},  {65, 50},  {66, 50},  {75, 50},  {108, 50},
    {68, 67},  {80, 67}, {82, 81},  {84, 83},  {87, 86},  {88, 85},  {91, 64},  {92, 64},  {93, 64},
    {94, 64},  {97, 76}, {99, 52},  {100, 54}, {104, 54}, {105, 54}, {106, 54}, {107, 54}, {103, 102},
    {113, 19},
};

using ViewTable = std::array<uint8_t, 256>;

constexpr ViewTable buildViewTable()
{
    ViewTable table{};
    for (uint8_t code : kOwnViews)
        table[code] = code;
    for (const Alias& a : kAliases)
        table[a.typeCode] = a.viewClass;
    return table;
}

constexpr ViewTable kViewTable = buildViewTable();

struct Registration {
    Creator create = nullptr;
    Measure measure = nullptr;
};

// Filled by the views' static registrations, before main or when a library is loaded.
std::array<Registration, 256>& registry()
{
    static std::array<Registration, 256> table{};
    return table;
}

}  // namespace

uint8_t viewClassFor(uint8_t typeCode) { return kViewTable[typeCode]; }

uint8_t typeForFrameLength(int packLen)
{
    for (const finger_param_ts& p : fingerParams)
        if (p.packLen == packLen)
            return uint8_t(p.prg);
    return 255;
}

bool registerView(uint8_t classNumber, Creator create, Measure measure)
{
    if (!create || classNumber == kNoView)
        return false;
    Registration& slot = registry()[classNumber];
    if (slot.create) {
        qDebug("view %d already registered", classNumber);
        return false;
    }
    slot = {create, measure};
    return true;
}

bool isRegistered(uint8_t classNumber) { return registry()[classNumber].create != nullptr; }

class_finger* create(uint8_t classNumber, QWidget* parent)
{
    const Creator make = registry()[classNumber].create;
    return make ? make(parent) : nullptr;
}

QSize freshMinimumSize(QWidget& widget)
{
    for (QWidget* child : widget.findChildren<QWidget*>()) {
        child->ensurePolished();
        child->updateGeometry();
    }
    return widget.minimumSizeHint();
}

QSize formMinimumSize(uint8_t classNumber)
{
    const Measure measure = registry()[classNumber].measure;
    return measure ? measure() : QSize();
}

QSize largestMinimumSize()
{
    QSize largest(0, 0);
    for (const Registration& r : registry())
        if (r.measure)
            largest = largest.expandedTo(r.measure());
    return largest;
}

}  // namespace viewFactory
