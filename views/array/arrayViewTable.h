#pragma once
// What tells the pressure-taxel, taxel-array, channel-list and text-free force views apart: one
// row per view class, the force-view columns first.

#include "forceViewTable.h"

#include <cstdint>

// What setPress does with a pressure channel.
enum class PressTaxels : uint8_t {
    Silent,  // colours the taxel label "lbPress_" + (ch + 1); a channel without one passes unnoticed
    Logged,  // the same, and "err" in the debug log for a channel without a label
    Text,    // colours it and writes the load (two decimals) while the panel's switch is on
};

// A column added later comes last with a default, so that the rows above keep their form.
struct arrayViewTraits : forceViewTraits {
    PressTaxels press = PressTaxels::Silent;
};

namespace arrayViewTable {

using S = ShowDataSwitch;
using M = MissingLabel;
using P = PressTaxels;
using W = forceRules::ArrowWhen;
using V = forceRules::ValueText;

// Views 83, 85, 86 and 98 draw an arrow whenever N is above 0; 64, 70, 95 and 98 never write the
// label's text or alignment.
inline constexpr arrayViewTraits kRows[] = {
    // cls  bar max  red  pale off  arrow when           value text    value texts  missing   setPress
    {{ 42, 450000, {145, 145, 0, W::TangentialWithDirection, V::Written},   S::Ignored,  M::Silent}, P::Logged},
    {{ 44, 450000, {145, 145, 0, W::TangentialWithDirection, V::Written},   S::Followed, M::Silent}, P::Text},
    {{ 69, 410000, {141, 141, 0, W::TangentialWithDirection, V::Written},   S::Ignored,  M::Silent}, P::Silent},
    {{ 76, 450000, {145, 145, 0, W::TangentialWithDirection, V::Written},   S::Ignored,  M::Silent}, P::Silent},
    {{ 83, 450000, {145, 145, 0, W::NormalAnyDirection,      V::Written},   S::Ignored,  M::Silent}, P::Silent},
    {{ 85, 450000, {145, 145, 0, W::NormalAnyDirection,      V::Written},   S::Ignored,  M::Silent}, P::Silent},
    {{ 86, 450000, {145, 145, 0, W::NormalAnyDirection,      V::Written},   S::Ignored,  M::Silent}, P::Silent},
    {{110, 370000, {139, 140, 0, W::TangentialWithDirection, V::Written},   S::Followed, M::Silent}, P::Logged},
    {{111, 370000, {139, 140, 0, W::TangentialWithDirection, V::Written},   S::Followed, M::Silent}, P::Logged},
    {{ 64, 370000, {139, 140, 0, W::TangentialWithDirection, V::Untouched}, S::Ignored,  M::Silent}, P::Silent},
    {{ 70, 300000, {139, 140, 0, W::TangentialWithDirection, V::Untouched}, S::Ignored,  M::Silent}, P::Silent},
    {{ 95, 370000, {139, 140, 0, W::TangentialWithDirection, V::Untouched}, S::Ignored,  M::Silent}, P::Silent},
    {{ 98, 450000, {145, 145, 0, W::NormalAnyDirection,      V::Untouched}, S::Ignored,  M::Silent}, P::Silent},
};

constexpr bool contains(uint8_t classNumber)
{
    return viewTable::find(kRows, classNumber) != nullptr;
}

// Only for class numbers the table contains (checked at compile time by the views).
constexpr const arrayViewTraits& of(uint8_t classNumber)
{
    return *viewTable::find(kRows, classNumber);
}

}  // namespace arrayViewTable
