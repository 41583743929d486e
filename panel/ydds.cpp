#include "ydds.h"

#include "gaugePainter.h"

static_assert(ydds::kNoDirection == gauge::kNoDirection && class_ydds::kNoDirection == gauge::kNoDirection,
              "one 'no arrow' value for all gauges");

namespace {

const char* const kGaugeStyle = "QLabel { border: none; }";
constexpr int kPenWidth = 2;

// ydds and class_ydds are one gauge under two class names; these serve both.
template <class Gauge>
void initGauge(Gauge& g)
{
    g.arrowPen = QPen(Qt::black, kPenWidth);
    g.discPen = QPen(Qt::black, kPenWidth);
    g.brush = QBrush(Qt::white);
    g.setStyleSheet(kGaugeStyle);
}

template <class Gauge>
void paintGauge(Gauge& g)
{
    gauge::paint(&g, g.dir, g.ratio, g.arrowPen, g.discPen, g.brush.color());
}

}  // namespace

ydds::ydds(QWidget* parent) : QLabel(parent) { initGauge(*this); }
ydds::~ydds() = default;

void ydds::paintEvent(QPaintEvent* event)
{
    QLabel::paintEvent(event);
    paintGauge(*this);
}

void ydds::resizeEvent(QResizeEvent* event) { QWidget::resizeEvent(event); }

class_ydds::class_ydds(QWidget* parent) : QLabel(parent) { initGauge(*this); }
class_ydds::~class_ydds() = default;

void class_ydds::paintEvent(QPaintEvent* event)
{
    QLabel::paintEvent(event);
    paintGauge(*this);
}

void class_ydds::resizeEvent(QResizeEvent* event) { QWidget::resizeEvent(event); }
