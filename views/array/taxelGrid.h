#pragma once
// The taxel-grid design over plain data: which taxels neighbour which and at what bearing, the
// resultant of the neighbours' forces, the level a cell is coloured by, and writing one cell.
// Nothing here needs a view; the taxel-array views put it together per frame.

#include <QString>
#include <QVector>
#include <array>
#include <cstdint>

class QColor;
class class_ydds;
class sensorForm;

namespace taxelGrid {

constexpr uint16_t kNoDirection = 0xFFFF;
constexpr int kMaxNeighbours = 8;

// One neighbour of a taxel: its data index and the bearing from the taxel to it (degrees
// clockwise from the data row above).
struct member_ts {
    uint8_t index = 0;
    uint16_t direction = 0;
};

// One taxel: its neighbours, above left first, below right last.
struct sensor_ts {
    QVector<member_ts> memberList;
};

// One input of the resultant: a neighbour's force in percent of full scale and its bearing.
struct force_in_ts {
    float force = 0;
    uint16_t direction = 0;
};

// The resultant: length of the vector sum and mean of the inputs (both in percent of full scale),
// and the bearing of the sum (0..359, kNoDirection for none).
struct ydds_out_ts {
    float magnitude = 0;
    float mean = 0;
    uint16_t direction = kNoDirection;
};

struct sinCos_ts {
    float sine;
    float cosine;
};
using SinCosTable = std::array<sinCos_ts, 360>;

namespace detail {

constexpr double kPi = 3.14159265358979323846;

// sin of 0..90 whole degrees by its series; the quarter keeps the series short and exact to
// well below the six decimals kept.
constexpr double quarterSine(int degrees)
{
    const double x = degrees * kPi / 180.0;
    double term = x;
    double sum = x;
    for (int n = 1; n < 12; ++n) {
        term *= -x * x / double((2 * n) * (2 * n + 1));
        sum += term;
    }
    return sum;
}

constexpr double sineOf(int degrees)
{
    if (degrees >= 180)
        return -sineOf(degrees - 180);
    return quarterSine(degrees <= 90 ? degrees : 180 - degrees);
}

// Rounded to six decimals; a zero is a plain +0.
constexpr float sixDecimals(double v)
{
    const double scaled = v * 1e6;
    const long long n = static_cast<long long>(scaled + (scaled < 0 ? -0.5 : 0.5));
    return n == 0 ? 0.0f : float(double(n) / 1e6);
}

struct fixedRow {
    int degrees;
    sinCos_ts value;
};

// Rows kept with the digits the grids have always been drawn with (30 and 60 are off in the sixth
// decimal); row 314 makes an upper-left neighbour read back as 315 degrees.
constexpr fixedRow kFixedRows[] = {
    {1, {0.017452f, 0.999848f}},   {30, {0.500006f, 0.866020f}},   {45, {0.707107f, 0.707107f}},
    {60, {0.866020f, 0.500006f}},  {135, {0.707107f, -0.707107f}}, {314, {-0.719339f, 0.694659f}},
    {315, {-0.707107f, 0.707107f}}, {359, {-0.017452f, 0.999848f}},
};

constexpr SinCosTable buildSinCos()
{
    SinCosTable table{};
    for (int d = 0; d < 360; ++d)
        table[d] = {sixDecimals(sineOf(d)), sixDecimals(sineOf((d + 90) % 360))};
    for (const fixedRow& row : kFixedRows)
        table[row.degrees] = row.value;
    return table;
}

}  // namespace detail

// sine and cosine of the whole degrees 0..359, six decimals, the axis entries exact.
inline constexpr SinCosTable kSinCosTable = detail::buildSinCos();

// Degrees per radian: turns the resultant's atan2 into degrees.
constexpr float toRadians = 57.29578f;

// How a view lays its data grid out on screen: rows x cols taxels (data index row * cols + column),
// the display position of each data index (none: the same), and the turn of the cells' arrows.
struct GridShape {
    uint8_t rows = 0;
    uint8_t cols = 0;
    const uint8_t* cord = nullptr;
    uint16_t angleOffset = 0;
};

// Bearing from a taxel to the one dx columns right and dy rows up, in 0..359.
uint16_t bearing(int dx, int dy);

// The neighbours of every taxel of a rows x cols data grid (index row * cols + column), in the
// order above left, above, above right, left, right, below left, below, below right.
QVector<sensor_ts> neighbourLists(int rows, int cols);

// Vector sum of n inputs by the table's sine and cosine. Without inputs: magnitude and mean 0 and
// no direction; a sum that is not finite has no direction either.
void YDDS_Process(const force_in_ts* in, uint8_t n, const SinCosTable& table, ydds_out_ts* out);

// What a cell is coloured by: the mean of the taxel's own percentage and its neighbours' mean.
float level(float ownPercent, float neighboursMean);

// Everything a frame decides for taxel k; a value the list lacks counts as 0.
struct cellState {
    float load = 0;   // the taxel's own value, newtons
    float level = 0;  // percent of full scale
    ydds_out_ts out;
};
cellState stateOf(const QVector<float>& values, float fullScale, const QVector<sensor_ts>& taxels, int k,
                  const SinCosTable& table);

// The cell at display position p of a grid p / columns rows down and p % columns across; null
// when the grid has no cell there.
class_ydds* cellAt(const sensorForm& grid, int p, int columns);

// Writes one cell: fill colour and text, then the arrow along the resultant turned by angleOffset;
// without a direction the arrow goes and the length factor stays.
void writeCell(class_ydds& cell, const QColor& colour, const QString& text, const ydds_out_ts& out,
               uint16_t angleOffset);

// One frame on a grid of that shape: every taxel's cell coloured by its level, its text its own load
// with two decimals (empty while showData is off), its arrow along the resultant. Values past the
// grid are ignored.
void show(sensorForm& grid, const GridShape& shape, const QVector<sensor_ts>& taxels, const SinCosTable& table,
          const QVector<float>& values, float fullScale, bool showData);

}  // namespace taxelGrid
