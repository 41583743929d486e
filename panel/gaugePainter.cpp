#include "gaugePainter.h"

#include <QPainter>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace gauge {
namespace {

constexpr int kSmallRadius = 40;      // below it the pen and the rim stay 2 px
constexpr int kSmallPenWidth = 2;
constexpr int kPenDivisor = 20;       // larger gauges: pen = radius / 20
constexpr int kMinDiscRadius = 2;
constexpr int kArrowInset = 2;        // the shaft stops short of the rim
constexpr int kHeadDivisor = 3;       // barb length from a third of the disc radius
constexpr double kFixedPart = 0.2;    // every arrow is at least 20 % long
constexpr double kRatioPart = 0.8;
constexpr int kBarbLeft = 135;        // barbs stand 135 degrees off the shaft
constexpr int kBarbRight = 225;
constexpr int kFullTurn = 360;
constexpr double kPi = 3.14159265358979323846;

double radians(double degrees) { return degrees * kPi / 180.0; }

// The views keep ratio within 0..1; anything else (or NaN) must not reach the integer conversion.
double boundedRatio(float ratio)
{
    if (!(ratio >= 0.0f))
        return 0.0;
    return std::min(double(ratio), 1.0);
}

int scaledLength(int full, double ratio) { return int(full * ratio * kRatioPart + full * kFixedPart); }

bool isOpaqueWhite(const QColor& c) { return c.rgba() == qRgba(255, 255, 255, 255); }

}  // namespace

Geometry geometryFor(int width, int height, float ratio)
{
    Geometry g;
    g.cx = width / 2;
    g.cy = height / 2;
    const int r = std::min(g.cx, g.cy);
    if (r < kSmallRadius) {
        g.penWidth = kSmallPenWidth;
        g.radius = r - kSmallPenWidth;
    } else {
        g.penWidth = r / kPenDivisor;
        g.radius = r - g.penWidth;
    }
    g.radius = std::max(g.radius, kMinDiscRadius);
    const double k = boundedRatio(ratio);
    g.arrowLength = scaledLength(g.radius - kArrowInset, k);
    g.headLength = scaledLength(g.radius / kHeadDivisor, k);
    return g;
}

void paint(QWidget* widget, uint16_t dir, float ratio, QPen arrowPen, QPen discPen, const QColor& colour)
{
    const Geometry g = geometryFor(widget->width(), widget->height(), ratio);
    QPainter painter(widget);
    painter.setRenderHint(QPainter::Antialiasing);

    if (!isOpaqueWhite(colour)) {
        discPen.setColor(colour);
        discPen.setWidth(0);
        painter.setPen(discPen);
        painter.setBrush(QBrush(colour, Qt::SolidPattern));
        painter.setOpacity(1.0);
        painter.drawEllipse(QRect(g.cx - g.radius, g.cy - g.radius, 2 * g.radius, 2 * g.radius));
    }

    if (dir == kNoDirection)
        return;
    arrowPen.setWidth(g.penWidth);
    painter.setPen(arrowPen);
    // a counts counter-clockwise from the right-hand side; the tip lies at dir clockwise from up.
    const int a = uint16_t(kFullTurn - dir);
    const double theta = radians(a) - kPi / 2;
    const QPoint tip(int(g.cx - std::cos(theta) * g.arrowLength), int(g.cy + std::sin(theta) * g.arrowLength));
    painter.drawLine(QPoint(g.cx, g.cy), tip);
    for (const int barb : {kBarbLeft, kBarbRight}) {
        const double beta = radians((a + barb) % kFullTurn);
        painter.drawLine(tip, QPoint(int(tip.x() - std::sin(beta) * g.headLength),
                                     int(tip.y() - std::cos(beta) * g.headLength)));
    }
}

}  // namespace gauge
