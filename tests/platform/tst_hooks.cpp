// The replaceable file dialog: calls reach the installed function with their arguments, and the
// filter texts the tools pass read as Qt's dialog expects them.

#include "hooks.h"
#include "testMain.h"

class tst_hooks : public QObject {
    Q_OBJECT
private slots:
    void openFileGoesThroughTheHook()
    {
        QWidget parent;
        QStringList seen;
        const hooks::OpenFileFn recorder = hooks::setOpenFile(
            [&](QWidget* p, const QString& caption, const QString& dir, const QString& filter) {
                seen << caption << dir << filter;
                return p == &parent ? QString("/tmp/app.hex") : QString();
            });
        QCOMPARE(hooks::openFileName(&parent, "选择app文件", "/tmp", "*.bin;*.hex"), QString("/tmp/app.hex"));
        QCOMPARE(seen, QStringList({"选择app文件", "/tmp", "*.bin;*.hex"}));
        hooks::setOpenFile(recorder);  // the test main's recorder again: a cancelled dialog
        QVERIFY(hooks::openFileName(&parent, "x", "", "*.bin").isEmpty());
    }

    void dialogFilter_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("expected");
        QTest::newRow("patterns by ';'") << "*.bin;*.hex" << "*.bin *.hex";
        QTest::newRow("one pattern") << "*.bin" << "*.bin";
        QTest::newRow("named filter kept") << "Images (*.png *.jpg)" << "Images (*.png *.jpg)";
        QTest::newRow("several filters") << "Firmware (*.bin *.hex);;*.a;*.b" << "Firmware (*.bin *.hex);;*.a *.b";
        QTest::newRow("empty") << "" << "";
    }
    void dialogFilter()
    {
        QFETCH(QString, filter);
        QFETCH(QString, expected);
        QCOMPARE(hooks::dialogFilter(filter), expected);
    }
};

TACTILE_TEST_MAIN(tst_hooks)
#include "tst_hooks.moc"
