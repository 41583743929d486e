// The panel in the English interface: its form texts, row names and CSV titles come from the
// translation catalogue; texts without a pair stay as they are.

#include "tst_panelFixture.h"
#include "ui_dataForm.h"
#include "ui_fingerForm.h"

#include "catalogueFrames.h"
#include "dataForm.h"
#include "testMain.h"

#include <QFile>
#include <QTranslator>

using namespace panelTest;

class tst_panelEnglish : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        registerViews();
        QVERIFY(translator.load(":/en.qm"));
        QVERIFY(QCoreApplication::installTranslator(&translator));
    }
    void formTexts();
    void rowsAndTable();
    void csvTitles();

private:
    QTranslator translator;
};

void tst_panelEnglish::formTexts()
{
    fingerForm p(0, 0x60);
    QCOMPARE(p.ui->pbtnReset->text(), QString("Soft reset"));
    QCOMPARE(p.ui->label_5->text(), QString("SRC(Hz)"));
    QCOMPARE(p.ui->label_6->text(), QString("Version"));
    QCOMPARE(p.ui->chkbtnSave->text(), QString("Save"));
    QCOMPARE(p.ui->chkbtnShowData->text(), QString("Data display"));
    QCOMPARE(p.ui->cbbSetSendType->itemText(4), QString("Normal force"));
    QCOMPARE(p.ui->tabWidget->tabText(0), QString("Info"));
    QCOMPARE(p.ui->pbtnAutoDac->text(), QString("Channel Value Adjustment"));
    QCOMPARE(p.ui->label_14->text(), QString("Firmware date"));
    QCOMPARE(p.ui->groupBox->title(), QString("Channel parameters"));
    QCOMPARE(p.ui->pbtnGetThreshold->text(), QString("Read"));
}

void tst_panelEnglish::rowsAndTable()
{
    auto p = panelFor(31);
    QStringList rows;
    for (const dataForm* row : p->dataFormList)
        rows << row->ui->lbIdx->text();
    QCOMPARE(rows, QStringList({"ch0", "ch1", "ch2", "ch3", "Normal Force0", "Tangential Force0", "Angle0", "Status"}));
    QCOMPARE(p->ui->tbwThreshold->horizontalHeaderItem(0)->text(), QString("Threshold"));
    QCOMPARE(p->ui->tbwThreshold->verticalHeaderItem(1)->text(), QString("ch1"));
}

void tst_panelEnglish::csvTitles()
{
    auto p = panelFor(31);
    p->ui->chkbtnSave->setChecked(true);
    sim::FrameValues v;
    v.channels = {1, 2, 3, 4};
    v.points = {{1, 1, 0}};
    v.status = 7;
    p->sl_updateData(0, 0x60, catalogueFrames::toPack(catalogueFrames::frameFor(31, v)));
    const QString path = p->savePath();
    p->ui->chkbtnSave->setChecked(false);
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(f.readLine()),
             QString("Time,Index,Ch0,Ch1,Ch2,Ch3,0Normal Force,0Tangential Force,0Angle,Status7\n"));
}

TACTILE_TEST_MAIN(tst_panelEnglish)
#include "tst_panelEnglish.moc"
