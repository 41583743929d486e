#pragma once
// The one painting rule of the force gauges (ydds and class_ydds): a disc in the force's colour
// and an arrow from the centre whose length follows the tangential force.

#include <QColor>
#include <QPen>
#include <cstdint>

class QWidget;

namespace gauge {

constexpr uint16_t kNoDirection = 0xFFFF;

// Pixel measures of one gauge; every conversion to integer truncates.
struct Geometry {
    int cx = 0;           // centre
    int cy = 0;
    int penWidth = 0;     // arrow pen
    int radius = 0;       // disc radius
    int arrowLength = 0;  // shaft, centre to tip
    int headLength = 0;   // each of the two barbs
};

Geometry geometryFor(int width, int height, float ratio);

// Paints disc and arrow over what the label has already painted on the widget. Neither pen is
// changed for the caller: their colour and width are replaced on copies.
void paint(QWidget* widget, uint16_t dir, float ratio, QPen arrowPen, QPen discPen, const QColor& colour);

}  // namespace gauge
