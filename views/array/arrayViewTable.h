#pragma once
// What tells the pressure-taxel, taxel-array, channel-list and text-free force views apart: one
// row per view class, the force-view columns first.

#include "forceViewTable.h"
#include "taxelGrid.h"

#include <cstdint>
#include <iterator>

// What setPress does with a pressure channel.
enum class PressTaxels : uint8_t {
    Silent,  // colours the taxel label "lbPress_" + (ch + 1); a channel without one passes unnoticed
    Logged,  // the same, and "err" in the debug log for a channel without a label
    Text,    // colours it and writes the load (two decimals) while the panel's switch is on
};

// A column added later comes last with a default, so that the rows above keep their form.
struct arrayViewTraits : forceViewTraits {
    PressTaxels press = PressTaxels::Silent;
    taxelGrid::GridShape grid = {};  // the taxel-array views' grid; none elsewhere
};

namespace arrayViewTable {

using S = ShowDataSwitch;
using M = MissingLabel;
using P = PressTaxels;
using W = forceRules::ArrowWhen;
using V = forceRules::ValueText;
using G = taxelGrid::GridShape;

// Display position of each data index of views 55 and 56: the array turned a quarter clockwise,
// data row 0 the rightmost column from top to bottom.
inline constexpr uint8_t kQuarterTurn[25] = {4,  9,  14, 19, 24, 3, 8, 13, 18, 23, 2, 7, 12,
                                             17, 22, 1,  6,  11, 16, 21, 0, 5, 10, 15, 20};

// Views 83, 85, 86 and 98 draw an arrow whenever N is above 0; 64, 70, 95, 98, 2 and 81 never write
// the label's text or alignment. Views 55 and 56 turn their point's arrow by 270 but their cells'
// arrows by 90; 102 turns only its point's.
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
    // cls  bar max  red  pale off  arrow when           value text    value texts  missing      setPress   grid
    {{  2, 300000, {139, 140,   0, W::TangentialWithDirection, V::Untouched}, S::Ignored,  M::Logged},   P::Silent},
    {{ 18, 300000, {139, 140,   0, W::TangentialWithDirection, V::Written},   S::Ignored,  M::Numbered}, P::Silent},
    {{ 55, 370000, {139, 140, 270, W::TangentialWithDirection, V::Written},   S::Followed, M::Silent},   P::Silent,
     G{5, 5, kQuarterTurn, 90}},
    {{ 56, 370000, {139, 140, 270, W::TangentialWithDirection, V::Written},   S::Followed, M::Silent},   P::Silent,
     G{5, 5, kQuarterTurn, 90}},
    {{ 81, 370000, {139, 140,   0, W::TangentialWithDirection, V::Untouched}, S::Ignored,  M::Silent},   P::Silent,
     G{3, 3, nullptr, 0}},
    {{ 96, 370000, {139, 140,   0, W::TangentialWithDirection, V::Written},   S::Followed, M::Silent},   P::Silent,
     G{3, 4, nullptr, 0}},
    {{102, 370000, {139, 140, 270, W::TangentialWithDirection, V::Written},   S::Followed, M::Silent},   P::Silent,
     G{1, 3, nullptr, 0}},
};

constexpr bool contains(uint8_t classNumber)
{
    return viewTable::indexOf(kRows, classNumber) < std::size(kRows);
}

// Only for class numbers the table contains (checked at compile time by the views).
constexpr const arrayViewTraits& of(uint8_t classNumber)
{
    return kRows[viewTable::indexOf(kRows, classNumber)];
}

}  // namespace arrayViewTable
