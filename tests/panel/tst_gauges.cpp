// The force gauges ydds and class_ydds: their measures and the pixels they paint.

#include "gaugePainter.h"
#include "testMain.h"
#include "ydds.h"

#include <QImage>
#include <QPainter>
#include <cmath>
#include <limits>

namespace {

const QColor kBackground(40, 160, 220);

enum Expect { Background, Disc, Ink, Lighter };

struct Probe {
    QPoint at;
    Expect expect;
};

template <class Gauge>
QImage shot(Gauge& gauge)
{
    QImage img(gauge.size(), QImage::Format_ARGB32);
    img.fill(kBackground);
    // Without the window background, so every pixel not painted keeps the known colour.
    gauge.render(&img, QPoint(), QRegion(), QWidget::DrawChildren);
    return img;
}

template <class Gauge>
void setUp(Gauge& g, QSize size, uint16_t dir, float ratio, const QColor& colour)
{
    g.resize(size);
    g.dir = dir;
    g.ratio = ratio;
    g.brush.setColor(colour);
}

bool near(const QColor& a, const QColor& b, int tolerance)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

QString describe(const QColor& c) { return QString("(%1,%2,%3)").arg(c.red()).arg(c.green()).arg(c.blue()); }

}  // namespace

Q_DECLARE_METATYPE(QVector<Probe>)

class TestGauges : public QObject {
    Q_OBJECT
private slots:
    void geometry_data();
    void geometry();
    void ratioOutsideItsRange();
    void pixels_data();
    void pixels();
    void paintingChangesNoMember();
};

void TestGauges::geometry_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<float>("ratio");
    QTest::addColumn<int>("penWidth");
    QTest::addColumn<int>("radius");
    QTest::addColumn<int>("arrowLength");
    QTest::addColumn<int>("headLength");
    // Lengths truncate: 15.6 -> 15, 5.4 -> 5.
    QTest::newRow("100 x 60, ratio 0.5") << QSize(100, 60) << 0.5f << 2 << 28 << 15 << 5;
    QTest::newRow("100 x 60, ratio 0: a fifth") << QSize(100, 60) << 0.0f << 2 << 28 << 5 << 1;
    QTest::newRow("200 x 200, ratio 0.5") << QSize(200, 200) << 0.5f << 5 << 95 << 55 << 18;
    QTest::newRow("79 x 79: still a small gauge") << QSize(79, 79) << 0.5f << 2 << 37 << 21 << 7;
    QTest::newRow("80 x 80: pen from the radius") << QSize(80, 80) << 0.5f << 2 << 38 << 21 << 7;
    QTest::newRow("120 x 130") << QSize(120, 130) << 0.25f << 3 << 57 << 22 << 7;
    QTest::newRow("6 x 6: disc radius at least 2") << QSize(6, 6) << 1.0f << 2 << 2 << 0 << 0;
    QTest::newRow("0 x 0") << QSize(0, 0) << 1.0f << 2 << 2 << 0 << 0;
}

void TestGauges::geometry()
{
    QFETCH(QSize, size);
    QFETCH(float, ratio);
    QFETCH(int, penWidth);
    QFETCH(int, radius);
    QFETCH(int, arrowLength);
    QFETCH(int, headLength);
    const gauge::Geometry g = gauge::geometryFor(size.width(), size.height(), ratio);
    QCOMPARE(g.cx, size.width() / 2);
    QCOMPARE(g.cy, size.height() / 2);
    QCOMPARE(g.penWidth, penWidth);
    QCOMPARE(g.radius, radius);
    QCOMPARE(g.arrowLength, arrowLength);
    QCOMPARE(g.headLength, headLength);
}

void TestGauges::ratioOutsideItsRange()
{
    const auto length = [](float ratio) { return gauge::geometryFor(200, 200, ratio).arrowLength; };
    QCOMPARE(length(7.0f), length(1.0f));
    QCOMPARE(length(-3.0f), length(0.0f));
    QCOMPARE(length(std::numeric_limits<float>::quiet_NaN()), length(0.0f));
    QCOMPARE(length(std::numeric_limits<float>::infinity()), length(1.0f));
}

void TestGauges::pixels_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("dir");
    QTest::addColumn<float>("ratio");
    QTest::addColumn<QColor>("colour");
    QTest::addColumn<bool>("untouched");  // not one pixel painted
    QTest::addColumn<QVector<Probe>>("probes");

    const QSize small(100, 60);  // centre (50, 30), disc radius 28, arrow 15 at ratio 0.5
    const QSize big(200, 200);   // centre (100, 100), disc radius 95, pen 5
    const QColor white(Qt::white);
    const QColor red(200, 0, 0);
    const QColor green(0, 180, 0);
    const int none = ydds::kNoDirection;

    QTest::newRow("new gauge: nothing") << small << none << 0.0f << white << true << QVector<Probe>();
    QTest::newRow("no direction, ratio 1: no arrow") << small << none << 1.0f << white << true << QVector<Probe>();
    QTest::newRow("opaque white: no disc") << small << 90 << 0.0f << white << false
                                           << QVector<Probe>{{{50, 30}, Ink}, {{40, 30}, Background},
                                                             {{50, 10}, Background}};
    QTest::newRow("white below full alpha: painted")
        << small << none << 0.0f << QColor(255, 255, 255, 200) << false
        << QVector<Probe>{{{50, 30}, Lighter}, {{74, 30}, Lighter}, {{50, 0}, Background}, {{5, 30}, Background}};
    QTest::newRow("red disc, no direction")
        << small << none << 0.5f << red << false
        << QVector<Probe>{{{50, 30}, Disc}, {{60, 30}, Disc}, {{75, 30}, Disc}, {{50, 5}, Disc},
                          {{81, 30}, Background}, {{50, 0}, Background}, {{10, 30}, Background}};
    QTest::newRow("dir 90: to the right")
        << small << 90 << 0.5f << white << false
        << QVector<Probe>{{{55, 30}, Ink}, {{63, 30}, Ink}, {{63, 28}, Ink}, {{63, 31}, Ink},
                          {{68, 30}, Background}, {{45, 30}, Background}, {{50, 22}, Background},
                          {{50, 38}, Background}};
    QTest::newRow("dir 0: up")
        << small << 0 << 0.5f << white << false
        << QVector<Probe>{{{50, 25}, Ink}, {{50, 17}, Ink}, {{50, 12}, Background}, {{50, 36}, Background},
                          {{58, 30}, Background}, {{42, 30}, Background}};
    QTest::newRow("dir 180: down")
        << small << 180 << 0.5f << white << false
        << QVector<Probe>{{{50, 35}, Ink}, {{50, 43}, Ink}, {{50, 48}, Background}, {{50, 24}, Background}};
    QTest::newRow("dir 270: to the left")
        << small << 270 << 0.5f << white << false
        << QVector<Probe>{{{44, 30}, Ink}, {{37, 30}, Ink}, {{32, 30}, Background}, {{56, 30}, Background}};
    QTest::newRow("arrow over the disc")
        << small << 90 << 0.5f << red << false
        << QVector<Probe>{{{58, 30}, Ink}, {{40, 30}, Disc}, {{70, 30}, Disc}, {{50, 40}, Disc}};
    QTest::newRow("200 x 200: 5-pixel pen")
        << big << 90 << 0.5f << white << false
        << QVector<Probe>{{{120, 98}, Ink}, {{120, 101}, Ink}, {{120, 96}, Background},
                          {{120, 103}, Background}, {{150, 100}, Ink}, {{160, 100}, Background}};
    QTest::newRow("200 x 200: disc radius 95")
        << big << none << 0.0f << green << false
        << QVector<Probe>{{{100, 7}, Disc}, {{193, 100}, Disc}, {{100, 3}, Background}, {{197, 100}, Background},
                          {{100, 100}, Disc}};
}

void TestGauges::pixels()
{
    QFETCH(QSize, size);
    QFETCH(int, dir);
    QFETCH(float, ratio);
    QFETCH(QColor, colour);
    QFETCH(bool, untouched);
    QFETCH(QVector<Probe>, probes);

    ydds label;
    setUp(label, size, uint16_t(dir), ratio, colour);
    const QImage img = shot(label);

    if (untouched) {
        QImage blank(size, QImage::Format_ARGB32);
        blank.fill(kBackground);
        QCOMPARE(img, blank);
    }
    const QColor opaque(colour.red(), colour.green(), colour.blue());
    for (const Probe& p : probes) {
        const QColor got = img.pixelColor(p.at);
        bool ok = false;
        switch (p.expect) {
        case Background: ok = got == kBackground; break;
        case Disc: ok = near(got, opaque, 8); break;
        case Ink: ok = got.red() < 80 && got.green() < 80 && got.blue() < 80; break;
        case Lighter:
            ok = got != kBackground && got.red() > kBackground.red() && got.green() >= kBackground.green() &&
                 got.blue() >= kBackground.blue();
            break;
        }
        QVERIFY2(ok, qPrintable(QString("pixel (%1,%2) is %3, expected kind %4")
                                    .arg(p.at.x()).arg(p.at.y()).arg(describe(got)).arg(int(p.expect))));
    }

    // The grid cell is the same gauge.
    class_ydds cell;
    setUp(cell, size, uint16_t(dir), ratio, colour);
    QCOMPARE(shot(cell), img);
}

void TestGauges::paintingChangesNoMember()
{
    ydds label;
    setUp(label, QSize(200, 200), 45, 0.7f, QColor(10, 20, 30));
    shot(label);
    QCOMPARE(label.arrowPen.width(), 2);
    QCOMPARE(label.arrowPen.color(), QColor(Qt::black));
    QCOMPARE(label.discPen.width(), 2);
    QCOMPARE(label.discPen.color(), QColor(Qt::black));
    QCOMPARE(label.dir, uint16_t(45));
    QCOMPARE(label.ratio, 0.7f);
    QCOMPARE(label.styleSheet(), QString("QLabel { border: none; }"));

    ydds fresh;
    QCOMPARE(fresh.dir, uint16_t(0xFFFF));
    QCOMPARE(fresh.ratio, 0.0f);
    QCOMPARE(fresh.brush.color(), QColor(Qt::white));
    QVERIFY(fresh.text().isEmpty());
}

TACTILE_TEST_MAIN(TestGauges)
#include "tst_gauges.moc"
