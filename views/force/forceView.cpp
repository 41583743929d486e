#include "forceView.h"

#include <QDebug>

forceView::forceView(const forceViewTraits& traits, QWidget* parent)
    : QWidget(parent), class_finger(traits.classNumber, this), traits(traits)
{
}

void forceView::rangeBars()
{
    forceRules::rangeProximityBars(*this, fingerParam, traits.barMaximum);
}

void forceView::setShowData(bool show)
{
    if (traits.showData == ShowDataSwitch::Followed)
        showData = show;
}

void forceView::setYdds(uint8_t point, float normal, float tangential, uint16_t direction)
{
    const bool shown =
        forceRules::setPointArrow(*this, point, normal, tangential, direction, showData, traits.arrow);
    if (shown)
        return;
    if (traits.missingLabel == MissingLabel::Logged)
        qDebug("not found lb");
    else if (traits.missingLabel == MissingLabel::Numbered)
        qDebug("not found lb:%d", point + 1);
}

void forceView::setSProx(uint8_t ch, uint32_t value)
{
    forceRules::setProximity(*this, forceRules::kSelfBarPrefix, ch, value);
}

void forceView::setMProx(uint8_t ch, uint32_t value)
{
    forceRules::setProximity(*this, forceRules::kMutualBarPrefix, ch, value);
}
