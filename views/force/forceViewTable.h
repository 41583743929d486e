#pragma once
// What tells the force-vector views apart: one row per view class.

#include "forceRules.h"

#include <cstddef>
#include <cstdint>
#include <iterator>

enum class ShowDataSwitch : uint8_t {
    Ignored,   // the value texts stay empty whatever the panel's switch says
    Followed,  // the switch decides from the next frame on
};

enum class MissingLabel : uint8_t {
    Silent,
    Logged,    // "not found lb"
    Numbered,  // "not found lb:<number of the label>"
};

struct forceViewTraits {
    uint8_t classNumber;
    int barMaximum;  // range of every proximity bar the record counts
    forceRules::ArrowParams arrow;
    ShowDataSwitch showData;
    MissingLabel missingLabel;  // what the debug log says of a point without a label
};

// Where a class number's row stands in a family's table; the table's size when there is none.
// (Indices, not pointers: the sanitizer build does not fold pointer tests at compile time.)
namespace viewTable {
template <class Row, std::size_t N>
constexpr std::size_t indexOf(const Row (&rows)[N], uint8_t classNumber)
{
    std::size_t i = 0;
    while (i < N && rows[i].classNumber != classNumber)
        ++i;
    return i;
}
}  // namespace viewTable

namespace forceViewTable {

using S = ShowDataSwitch;
using M = MissingLabel;

// View 17 turns its arrows a quarter turn clockwise; the others show the direction as sent.
inline constexpr forceViewTraits kRows[] = {
    // cls bar max  red  pale offset  value texts  missing label
    {17, 300000, {139, 140, 90}, S::Ignored,   M::Logged},
    {19, 300000, {139, 140,  0}, S::Followed,  M::Logged},
    {20, 300000, {139, 140,  0}, S::Ignored,   M::Silent},
    {21, 300000, {139, 140,  0}, S::Ignored,   M::Silent},
    {22, 300000, {139, 140,  0}, S::Ignored,   M::Silent},
    {23, 300000, {139, 140,  0}, S::Ignored,   M::Silent},
    {24, 300000, {139, 140,  0}, S::Followed,  M::Silent},
    {25, 300000, {139, 140,  0}, S::Ignored,   M::Silent},
    {26, 300000, {139, 140,  0}, S::Ignored,   M::Silent},
    {27, 300000, {139, 140,  0}, S::Ignored,   M::Silent},
    {28, 300000, {139, 140,  0}, S::Ignored,   M::Silent},
    {29, 300000, {139, 140,  0}, S::Ignored,   M::Silent},
    {30, 300000, {139, 140,  0}, S::Ignored,   M::Silent},
    {31, 300000, {139, 140,  0}, S::Ignored,   M::Silent},
    {34, 340000, {139, 140,  0}, S::Ignored,   M::Silent},
    {37, 370000, {139, 140,  0}, S::Ignored,   M::Silent},
    {38, 380000, {139, 140,  0}, S::Ignored,   M::Silent},
    {39, 390000, {139, 140,  0}, S::Ignored,   M::Silent},
    {40, 400000, {140, 140,  0}, S::Ignored,   M::Silent},
    {41, 410000, {141, 141,  0}, S::Ignored,   M::Silent},
    {43, 430000, {143, 143,  0}, S::Ignored,   M::Silent},
    {45, 450000, {145, 145,  0}, S::Ignored,   M::Silent},
    {46, 300000, {139, 140,  0}, S::Followed,  M::Silent},
    {47, 370000, {139, 140,  0}, S::Ignored,   M::Silent},
    {48, 370000, {139, 140,  0}, S::Ignored,   M::Silent},
    {49, 370000, {139, 140,  0}, S::Ignored,   M::Silent},
    {50, 370000, {139, 140,  0}, S::Followed,  M::Silent},
    {52, 370000, {139, 140,  0}, S::Followed,  M::Silent},
    {54, 370000, {139, 140,  0}, S::Followed,  M::Silent},
    {57, 370000, {139, 140,  0}, S::Ignored,   M::Silent},
    {58, 370000, {139, 140,  0}, S::Ignored,   M::Silent},
    {59, 370000, {139, 140,  0}, S::Followed,  M::Silent},
    {67, 300000, {139, 140,  0}, S::Ignored,   M::Silent},
};

constexpr bool contains(uint8_t classNumber)
{
    return viewTable::indexOf(kRows, classNumber) < std::size(kRows);
}

// Only for class numbers the table contains (checked at compile time by the views).
constexpr const forceViewTraits& of(uint8_t classNumber)
{
    return kRows[viewTable::indexOf(kRows, classNumber)];
}

}  // namespace forceViewTable
