// Which view shows each type code, the frame-length fallback for an unread type, and the registry
// through which views make themselves known.

#include "class_finger.h"
#include "testMain.h"
#include "viewFactory.h"

#include <QMap>
#include <QWidget>

namespace {

// Type code -> class number of its view, as the product defines it; codes not listed have none.
QMap<int, int> expectedViews()
{
    QMap<int, int> map;
    for (int code : {2,  17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 34, 37,
                     38, 39, 40, 41, 42, 43, 44, 45, 46, 47, 48, 49, 50, 52, 54, 55, 56, 57,
                     58, 59, 67, 69, 70, 76, 81, 83, 85, 86, 95, 96, 98, 102, 110, 111})
        map[code] = code;
    const QVector<QPair<QVector<int>, int>> aliases{
        {{60}, 20},
        {{61}, 21},
        {{62}, 23},
        {{63}, 24},
        {{64, 65, 66, 75, 108}, 50},
        {{68, 80}, 67},
        {{82}, 81},
        {{84}, 83},
        {{87}, 86},
        {{88}, 85},
        {{91, 92, 93, 94}, 64},
        {{97}, 76},
        {{99}, 52},
        {{100, 104, 105, 106, 107}, 54},
        {{103}, 102},
        {{113}, 19},
    };
    for (const auto& a : aliases)
        for (int code : a.first)
            map[code] = a.second;
    return map;
}

class StubView : public QWidget, public class_finger {
public:
    explicit StubView(QWidget* parent) : QWidget(parent), class_finger(255, this) {}
};

class_finger* makeStub(QWidget* parent) { return new StubView(parent); }
class_finger* makeOtherStub(QWidget*) { return nullptr; }

}  // namespace

class TestFactory : public QObject {
    Q_OBJECT
private slots:
    void viewForEveryCode_data();
    void viewForEveryCode();
    void unreadTypeByFrameLength_data();
    void unreadTypeByFrameLength();
    void registry();
};

void TestFactory::viewForEveryCode_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("viewClass");
    const QMap<int, int> views = expectedViews();
    for (int code = 0; code < 256; ++code)
        QTest::newRow(qPrintable(QString("code %1").arg(code))) << code << views.value(code, 0);
}

void TestFactory::viewForEveryCode()
{
    QFETCH(int, code);
    QFETCH(int, viewClass);
    QCOMPARE(int(viewFactory::viewClassFor(uint8_t(code))), viewClass);
}

void TestFactory::unreadTypeByFrameLength_data()
{
    QTest::addColumn<int>("frameLength");
    QTest::addColumn<int>("typeCode");
    QTest::addColumn<int>("viewClass");
    QTest::newRow("62 bytes: type 2, the first of that length") << 62 << 2 << 2;
    QTest::newRow("36 bytes: type 28") << 36 << 28 << 28;
    QTest::newRow("39 bytes: type 41, not the later 60") << 39 << 41 << 41;
    QTest::newRow("45 bytes: type 20") << 45 << 20 << 20;
    QTest::newRow("189 bytes: type 43") << 189 << 43 << 43;
    QTest::newRow("40 bytes: no type") << 40 << 255 << 0;
    QTest::newRow("0 bytes: no type") << 0 << 255 << 0;
    QTest::newRow("longer than any") << 70000 << 255 << 0;
}

void TestFactory::unreadTypeByFrameLength()
{
    QFETCH(int, frameLength);
    QFETCH(int, typeCode);
    QFETCH(int, viewClass);
    const uint8_t type = viewFactory::typeForFrameLength(frameLength);
    QCOMPARE(int(type), typeCode);
    QCOMPARE(int(viewFactory::viewClassFor(type)), viewClass);
}

void TestFactory::registry()
{
    // Class numbers no product view uses, so nothing else registers them.
    QVERIFY(!viewFactory::isRegistered(7));
    QVERIFY(!viewFactory::create(7, nullptr));
    QVERIFY(!viewFactory::registerView(7, nullptr));
    QVERIFY(!viewFactory::isRegistered(7));

    QVERIFY(viewFactory::registerView(7, makeStub));
    QVERIFY(viewFactory::isRegistered(7));
    QTest::ignoreMessage(QtDebugMsg, "view 7 already registered");
    QVERIFY(!viewFactory::registerView(7, makeOtherStub));  // the first creator stays

    QWidget parent;
    class_finger* view = viewFactory::create(7, &parent);
    QVERIFY(view);
    QVERIFY(dynamic_cast<StubView*>(view));
    QCOMPARE(view->widget->parentWidget(), &parent);
    QVERIFY(!viewFactory::create(8, &parent));
    QVERIFY(!viewFactory::create(0, &parent));
}

TACTILE_TEST_MAIN(TestFactory)
#include "tst_factory.moc"
