#pragma once
// Looking into model views from tests: a view made as the panel makes it, its widgets by name
// prefix, the debug lines it writes, and the colours of the force-arrow rule's bands. Header only:
// the views live in libraries that only the view tests link.

#include "class_finger.h"
#include "forceRules.h"
#include "viewFactory.h"
#include "ydds.h"

#include <QColor>
#include <QCoreApplication>
#include <QGroupBox>
#include <QProgressBar>
#include <QString>
#include <QStringList>
#include <QVector>
#include <QTranslator>
#include <QWidget>
#include <memory>

namespace viewProbe {

inline QString className(int cls) { return QStringLiteral("fingerForm_%1").arg(cls); }

// Debug lines of the code under test, collected while one of these lives.
class MessageCapture {
public:
    MessageCapture()
    {
        lines().clear();
        previous = qInstallMessageHandler(&MessageCapture::record);
    }
    ~MessageCapture() { qInstallMessageHandler(previous); }
    MessageCapture(const MessageCapture&) = delete;
    MessageCapture& operator=(const MessageCapture&) = delete;
    QStringList messages() const { return lines(); }

private:
    static QStringList& lines()
    {
        static QStringList list;
        return list;
    }
    static void record(QtMsgType, const QMessageLogContext&, const QString& text) { lines().append(text); }
    QtMessageHandler previous = nullptr;
};

// A view as the panel makes it; deleting it goes through the view's own destructor.
struct View {
    explicit View(uint8_t cls, QWidget* parent) : ff(viewFactory::create(cls, parent)) {}
    ~View()
    {
        if (ff)
            delete ff->widget;
    }
    View(const View&) = delete;
    View& operator=(const View&) = delete;

    QWidget* widget() const { return ff ? ff->widget : nullptr; }
    ydds* label(int n) const { return forceRules::findPointLabel(*widget(), n); }
    ydds* taxel(int n) const { return forceRules::findTaxelLabel(*widget(), n); }
    QProgressBar* bar(const char* prefix, int n) const { return forceRules::findBar(*widget(), prefix, n); }

    class_finger* ff;
};

// A view made while translator (when given) is installed: forms set their texts once, when made.
inline std::unique_ptr<View> madeIn(QTranslator* translator, uint8_t cls, QWidget* parent)
{
    if (translator)
        QCoreApplication::installTranslator(translator);
    auto view = std::make_unique<View>(cls, parent);
    if (translator)
        QCoreApplication::removeTranslator(translator);
    return view;
}

// How many widgets "prefix" + 1, 2, ... the view holds without a gap.
template <typename Widget>
int countNumbered(const QWidget& view, const char* prefix)
{
    int n = 0;
    while (view.findChild<Widget*>(QLatin1String(prefix) + QString::number(n + 1)))
        ++n;
    return n;
}

inline QGroupBox* boxAround(const QWidget* w)
{
    for (QWidget* p = w ? w->parentWidget() : nullptr; p; p = p->parentWidget()) {
        if (auto* box = qobject_cast<QGroupBox*>(p))
            return box;
    }
    return nullptr;
}

struct Band {
    float normal;
    QColor colour;
};

// A normal force inside each colour band of the force-arrow rule, with the colour it gives.
inline QVector<Band> bandsFor(int red, int pale)
{
    return {{0.0f, QColor(240, 240, 240)}, {1.0f, QColor(255, 165, 165)}, {5.0f, QColor(255, pale, pale)},
            {7.0f, QColor(255, 105, 97)},  {10.0f, QColor(255, 69, 0)},   {14.0f, QColor(220, 20, 60)},
            {19.0f, QColor(red, 0, 0)},    {20.0f, QColor(red, 9, 9)},    {25.0f, QColor(red, 9, 9)}};
}

// What a gauge shows of a force point.
struct GaugeState {
    QColor colour;
    uint16_t dir;
    float ratio;
    bool operator==(const GaugeState& o) const { return colour == o.colour && dir == o.dir && ratio == o.ratio; }
};

inline GaugeState stateOf(const ydds& g) { return {g.brush.color(), g.dir, g.ratio}; }

// What the gauge of a point must show, by the force-arrow rule, for the texts the decoder kept.
inline GaugeState expectedFor(const class_finger::ydds_str_ts& point, const forceRules::ArrowParams& params)
{
    const float normal = point.normal.toFloat();
    const float tangential = point.tangential.toFloat();
    const uint16_t direction = uint16_t(point.direction.toUInt());
    return {forceRules::forceColour(normal, params), forceRules::arrowDirection(normal, tangential, direction, params),
            forceRules::arrowRatio(tangential, params)};
}

}  // namespace viewProbe
