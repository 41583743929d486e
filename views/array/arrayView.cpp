#include "arrayView.h"

#include "ydds.h"

#include <QDebug>

arrayView::arrayView(const arrayViewTraits& traits, QWidget* parent) : forceView(traits, parent), traits(traits)
{
}

void arrayView::setPress(uint8_t ch, float value, float fullScale)
{
    ydds* taxel = forceRules::findTaxelLabel(*this, ch + 1);
    if (!taxel) {
        if (traits.press == PressTaxels::Logged)
            qDebug("err");
        return;
    }
    forceRules::applyPressure(*taxel, value, fullScale, traits.press == PressTaxels::Text, showsData());
}
