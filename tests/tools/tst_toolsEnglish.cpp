// The address tab and the console in the English interface: form texts from their own contexts,
// run-time texts from the QObject context; texts without a pair stay as they are.

#include "sensorDebugForm.h"
#include "setSensorAddrForm.h"
#include "simBus.h"
#include "testMain.h"
#include "ui_sensorDebugForm.h"
#include "ui_setSensorAddrForm.h"

#include <QTranslator>

class TestToolsEnglish : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(translator.load(":/en.qm"));
        QVERIFY(QCoreApplication::installTranslator(&translator));
    }
    void cleanup() { sim::reset(); }
    void addressTab();
    void console();

private:
    QTranslator translator;
};

void TestToolsEnglish::addressTab()
{
    setSensorAddrForm f;
    QCOMPARE(f.ui->groupBox->title(), QString("Interface"));
    QCOMPARE(f.ui->label_4->text(), QString("Target address"));
    QCOMPARE(f.ui->lbFingerState->text(), QString("Interface closed"));
    QCOMPARE(f.ui->cbbInf->itemText(1), QString("IIC-CH341"));
    f.start();
    f.ui->cbbInf->setCurrentIndex(1);
    QCOMPARE(f.ui->lbInfArg->text(), QString("Board"));
    QCOMPARE(f.ui->cbbInfArg->itemText(0), QString("No PCA9548"));
    QCOMPARE(f.ui->cbbInfArg->itemText(6), QString("PCA9548-0"));
    f.infOpen();
    QCOMPARE(f.ui->pbtnInfConnect->text(), QString("Disconnect"));
    QCOMPARE(f.ui->lbFingerState->text(), QString("Scanning..."));
    f.infClose();
    QCOMPARE(f.ui->pbtnInfConnect->text(), QString("Connect"));
}

void TestToolsEnglish::console()
{
    sensorDebugForm f;
    QCOMPARE(f.ui->groupBox_7->title(), QString("Debug log"));
    QCOMPARE(f.ui->pbtnCh341WR->text(), QString("Write+Read"));
    QCOMPARE(f.ui->label_37->text(), QString("Write-read delay (ms)"));
    QCOMPARE(f.ui->groupBox_8->title(), QString("CH341"));
    f.start();
    QCOMPARE(f.ui->pbtnInfConnect->text(), QString("Connect"));
    QTest::mouseClick(f.ui->pbtnCh341Read, Qt::LeftButton);  // the bridge is not open
    QVERIFY(f.ui->txtDebugLog->toPlainText().endsWith("]:Board not connected\n"));
    // The serial read entry: an empty read that fails its test.
    f.ui->rbtnUart->click();
    f.ui->txtDebugLog->clear();
    QTest::mouseClick(f.ui->pbtnCh341Read, Qt::LeftButton);
    QVERIFY2(f.ui->txtDebugLog->toPlainText().endsWith(
                 "]:Read:Checksum Failed:0x0000\nAddress:0x6F\nLength:0\nCommand:\n"),
             qPrintable(f.ui->txtDebugLog->toPlainText()));
}

TACTILE_TEST_MAIN(TestToolsEnglish)
#include "tst_toolsEnglish.moc"
