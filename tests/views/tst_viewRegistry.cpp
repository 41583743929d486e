// Every view class the panel can choose for a type code is built in: the factory creates it, as its
// own class, with the panel as parent; and the size its form gives, which sizes the window without
// making a view, is the size the view needs.

#include "testMain.h"

#include "class_finger.h"
#include "viewFactory.h"

#include <QSet>
#include <QWidget>
#include <memory>

class tst_viewRegistry : public QObject {
    Q_OBJECT

private slots:
    void createsEveryView_data();
    void createsEveryView();
    void formSizeIsTheViews_data();
    void formSizeIsTheViews();
};

void tst_viewRegistry::createsEveryView_data()
{
    QTest::addColumn<int>("viewClass");
    QSet<int> seen;
    for (int code = 0; code < 256; ++code) {
        const int cls = viewFactory::viewClassFor(uint8_t(code));
        if (cls == 0 || seen.contains(cls))
            continue;
        seen.insert(cls);
        QTest::newRow(qPrintable(QString("fingerForm_%1").arg(cls))) << cls;
    }
}

void tst_viewRegistry::createsEveryView()
{
    QFETCH(int, viewClass);
    const QString name = QString("fingerForm_%1").arg(viewClass);
    QVERIFY2(viewFactory::isRegistered(uint8_t(viewClass)), qPrintable(name + " is not built in"));
    QWidget parent;
    class_finger* view = viewFactory::create(uint8_t(viewClass), &parent);
    QVERIFY(view);
    QVERIFY(view->widget);
    QCOMPARE(QString(view->widget->metaObject()->className()), name);
    QCOMPARE(view->widget->parentWidget(), &parent);
    delete view->widget;
}

void tst_viewRegistry::formSizeIsTheViews_data()
{
    createsEveryView_data();
}

void tst_viewRegistry::formSizeIsTheViews()
{
    QFETCH(int, viewClass);
    // A view without a measure, or with a form that misses what the view adds, fails here.
    const QSize fromForm = viewFactory::formMinimumSize(uint8_t(viewClass));
    class_finger* view = viewFactory::create(uint8_t(viewClass), nullptr);
    QVERIFY(view);
    const std::unique_ptr<QWidget> owner(view->widget);
    // Shown, its layouts hold every child's figures.
    view->widget->show();
    QVERIFY(QTest::qWaitForWindowExposed(view->widget));
    QCOMPARE(fromForm, view->widget->minimumSizeHint());
}

TACTILE_TEST_MAIN(tst_viewRegistry)
#include "tst_viewRegistry.moc"
