#pragma once
// The pressure, taxel-array, channel-list and text-free force views: the force-vector design
// (gauges, bars, show-data switch) with the taxel labels these sensors add, constants from
// arrayViewTable.

#include "arrayViewTable.h"
#include "forceView.h"

class arrayView : public forceView {
public:
    void setPress(uint8_t ch, float value, float fullScale) override;

    static constexpr bool hasRow(uint8_t classNumber) { return arrayViewTable::contains(classNumber); }
    static constexpr const arrayViewTraits& row(uint8_t classNumber) { return arrayViewTable::of(classNumber); }

protected:
    arrayView(const arrayViewTraits& traits, QWidget* parent);

private:
    const arrayViewTraits& traits;
};

// A view class NN with its form class, as forceViewWith builds the force-vector views.
template <uint8_t NN, class Form>
using arrayViewWith = forceViewWith<NN, Form, arrayView>;
