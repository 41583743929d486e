#pragma once
// Looking into model views from tests: a view made as the panel makes it, its widgets by name
// prefix, the debug lines it writes, and the colours of the force-arrow rule's bands. Header only:
// the views live in libraries that only the view tests link.

#include "class_finger.h"
#include "forceRules.h"
#include "viewFactory.h"
#include "ydds.h"

#include <QColor>
#include <QGroupBox>
#include <QProgressBar>
#include <QString>
#include <QStringList>
#include <QVector>
#include <QWidget>

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

}  // namespace viewProbe
