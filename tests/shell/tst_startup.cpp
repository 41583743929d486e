// The main window's tab switch and the start-up translation.

#include "Widget.h"
#include "fwUpdateForm.h"
#include "orvalisForm.h"
#include "sensorDebugForm.h"
#include "setSensorAddrForm.h"
#include "testMain.h"
#include "ui_Widget.h"

#include <QTabWidget>
#include <QTranslator>

class TestStartup : public QObject {
    Q_OBJECT
private slots:
    void windowTitleAndTabs();
};

void TestStartup::windowTitleAndTabs()
{
    Widget w;
    QCOMPARE(w.windowTitle(), QString("触觉传感器上位机"));
    QCOMPARE(w.ui->tabWidget->count(), 4);
    QCOMPARE(w.ui->tabWidget->currentIndex(), 0);
}

TACTILE_TEST_MAIN(TestStartup)
#include "tst_startup.moc"
