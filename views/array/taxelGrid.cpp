#include "taxelGrid.h"

#include "forceRules.h"
#include "sensorForm.h"
#include "ydds.h"

#include <QColor>
#include <algorithm>
#include <cmath>

namespace taxelGrid {
namespace {

constexpr int kDegreesPerTurn = 360;
// The bearing formula's own pi: with it the upper-left neighbour lies at 314, not 315.
constexpr double kBearingPi = 3.1415926;
constexpr int kMaxCells = 256;  // a member's index is 8 bits
constexpr int kLoadDecimals = 2;

uint16_t intoTurn(int degrees)
{
    if (degrees >= kDegreesPerTurn)
        degrees -= kDegreesPerTurn;
    if (degrees < 0)
        degrees += kDegreesPerTurn;
    return uint16_t(degrees);
}

}  // namespace

uint16_t bearing(int dx, int dy)
{
    const int a = int(std::atan2(double(-dx), double(dy)) * 180.0 / kBearingPi - 90.0);
    return intoTurn(270 - a);
}

QVector<sensor_ts> neighbourLists(int rows, int cols)
{
    if (rows <= 0 || cols <= 0 || rows * cols > kMaxCells)
        return {};
    // Row and column steps in the order the lists keep.
    static constexpr struct {
        int dr;
        int dc;
    } kSteps[] = {{-1, -1}, {-1, 0}, {-1, 1}, {0, -1}, {0, 1}, {1, -1}, {1, 0}, {1, 1}};
    QVector<sensor_ts> taxels(rows * cols);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            QVector<member_ts>& members = taxels[r * cols + c].memberList;
            for (const auto& step : kSteps) {
                const int nr = r + step.dr;
                const int nc = c + step.dc;
                if (nr < 0 || nr >= rows || nc < 0 || nc >= cols)
                    continue;
                // Up is the row above: a step down the rows is a negative dy.
                members.append({uint8_t(nr * cols + nc), bearing(step.dc, -step.dr)});
            }
        }
    }
    return taxels;
}

void YDDS_Process(const force_in_ts* in, uint8_t n, const SinCosTable& table, ydds_out_ts* out)
{
    *out = ydds_out_ts{};
    if (!in || n == 0)
        return;
    float x = 0;
    float y = 0;
    float sum = 0;
    for (int j = 0; j < n; ++j) {
        const sinCos_ts& sc = table[in[j].direction % kDegreesPerTurn];
        x += in[j].force * sc.sine;
        y += in[j].force * sc.cosine;
        sum += in[j].force;
    }
    out->mean = sum / float(n);
    // An infinite or undefined sum (full scale 0) has no bearing to convert to degrees.
    if (!std::isfinite(x) || !std::isfinite(y)) {
        out->magnitude = std::sqrt(x * x + y * y);
        return;
    }
    if (x == 0 || y == 0) {
        out->magnitude = std::fabs(x + y);
        if (y > 0)
            out->direction = 0;
        else if (y < 0)
            out->direction = 180;
        else if (x > 0)
            out->direction = 90;
        else if (x < 0)
            out->direction = 270;
        return;
    }
    out->magnitude = std::sqrt(x * x + y * y);
    out->direction = intoTurn(int(std::atan2(x, y) * toRadians));
}

float level(float ownPercent, float neighboursMean) { return (ownPercent + neighboursMean) * 0.5f; }

cellState stateOf(const QVector<float>& values, float fullScale, const QVector<sensor_ts>& taxels, int k,
                  const SinCosTable& table)
{
    cellState state;
    if (k < 0 || k >= taxels.size())
        return state;
    const auto valueAt = [&values](int i) { return i < values.size() ? values[i] : 0.0f; };
    const QVector<member_ts>& members = taxels[k].memberList;
    const int n = std::min(members.size(), kMaxNeighbours);
    std::array<force_in_ts, kMaxNeighbours> in{};
    for (int j = 0; j < n; ++j)
        in[j] = {forceRules::loadPercent(valueAt(members[j].index), fullScale), members[j].direction};
    YDDS_Process(in.data(), uint8_t(n), table, &state.out);
    state.load = valueAt(k);
    state.level = level(forceRules::loadPercent(state.load, fullScale), state.out.mean);
    return state;
}

class_ydds* cellAt(const sensorForm& grid, int p, int columns)
{
    if (p < 0 || columns <= 0)
        return nullptr;
    const int row = p / columns;
    const int column = p % columns;
    if (row >= grid.rows || column >= grid.cols)
        return nullptr;
    const int i = row * grid.cols + column;
    return i < grid.cells.size() ? grid.cells[i] : nullptr;
}

void writeCell(class_ydds& cell, const QColor& colour, const QString& text, const ydds_out_ts& out,
               uint16_t angleOffset)
{
    cell.brush.setColor(colour);
    cell.setText(text);
    if (out.direction < kDegreesPerTurn) {
        cell.dir = uint16_t((uint32_t(out.direction) + angleOffset) % kDegreesPerTurn);
        cell.ratio = std::min(out.magnitude / 100.0f, 1.0f);
    } else {
        cell.dir = kNoDirection;
    }
    cell.update();
}

void show(sensorForm& grid, const GridShape& shape, const QVector<sensor_ts>& taxels, const SinCosTable& table,
          const QVector<float>& values, float fullScale, bool showData)
{
    const int count = shape.rows * shape.cols;
    for (int k = 0; k < count; ++k) {
        class_ydds* cell = cellAt(grid, shape.cord ? shape.cord[k] : k, shape.cols);
        if (!cell)
            continue;
        const cellState s = stateOf(values, fullScale, taxels, k, table);
        const QString text = showData ? QString::number(s.load, 'f', kLoadDecimals) : QString();
        writeCell(*cell, forceRules::pressureColour(s.level), text, s.out, shape.angleOffset);
    }
}

}  // namespace taxelGrid
