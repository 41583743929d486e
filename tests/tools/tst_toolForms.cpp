// The address and console forms as set up, before any tool code runs on them.

#include "testMain.h"
#include "ui_sensorDebugForm.h"
#include "ui_setSensorAddrForm.h"

#include <QAbstractButton>

class TestToolForms : public QObject {
    Q_OBJECT
private slots:
    void addressFormDefaults();
    void targetAddressRefusesOutOfRange_data();
    void targetAddressRefusesOutOfRange();
    void consoleFormDefaults();
};

void TestToolForms::addressFormDefaults()
{
    QWidget w;
    Ui_setSensorAddrForm ui;
    ui.setupUi(&w);
    QCOMPARE(w.objectName(), QString("setSensorAddrForm"));
    QCOMPARE(ui.cbbInfArg->currentText(), QString("460800"));
    QVERIFY(ui.cbbInfArg->isEditable());
    QCOMPARE(ui.cbbInf->count(), 3);
    QCOMPARE(ui.cbbInf->itemText(2), QString("IIC-CH347"));
    QCOMPARE(ui.spbTarAddrHex->text(), QString("0x1"));
    QCOMPARE(ui.spbTarAddrDec->text(), QString("1"));
    for (QSpinBox* current : {ui.spbCurrAddrHex, ui.spbCurrAddrDec}) {
        QVERIFY(!current->isEnabled());
        QVERIFY(current->isReadOnly());
    }
    QCOMPARE(ui.lbFingerState->text(), QString("接口未打开"));
    QVERIFY(ui.lbCmdState->text().isEmpty());
}

void TestToolForms::targetAddressRefusesOutOfRange_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("value");
    QTest::newRow("0") << "0" << 7;       // not taken: the box keeps its value
    QTest::newRow("112") << "112" << 11;  // the third digit is refused
    QTest::newRow("111") << "111" << 111;
}

void TestToolForms::targetAddressRefusesOutOfRange()
{
    QFETCH(QString, typed);
    QFETCH(int, value);
    QWidget w;
    Ui_setSensorAddrForm ui;
    ui.setupUi(&w);
    ui.spbTarAddrDec->setValue(7);
    ui.spbTarAddrDec->selectAll();
    QTest::keyClicks(ui.spbTarAddrDec, typed);
    QTest::keyClick(ui.spbTarAddrDec, Qt::Key_Return);
    ui.spbTarAddrDec->interpretText();
    QCOMPARE(ui.spbTarAddrDec->value(), value);
}

void TestToolForms::consoleFormDefaults()
{
    QWidget w;
    Ui_sensorDebugForm ui;
    ui.setupUi(&w);
    QCOMPARE(w.objectName(), QString("sensorDebugForm"));
    QStringList checked;
    for (QAbstractButton* b : w.findChildren<QAbstractButton*>())
        if (b->isChecked())
            checked << b->objectName();
    checked.sort();
    QCOMPARE(checked, QStringList({"chkbtnChk", "rbtnIIC"}));
    QCOMPARE(ui.cbbDevInf->count(), 0);
    QCOMPARE(ui.cbbDevSpeed->count(), 0);
    QCOMPARE(ui.spbCh341Addr->value(), 0x6F);
    QCOMPARE(ui.spbCh341Addr->maximum(), 0x6F);
    QCOMPARE(ui.spbCh341Addr->text().toLower(), QString("0x6f"));
    QCOMPARE(ui.spbCh341Read->value(), 11);
    QCOMPARE(ui.spbCh341Read->buttonSymbols(), QAbstractSpinBox::NoButtons);
    QCOMPARE(ui.spbDelay->value(), 50);
    QVERIFY(ui.lbChk->text().isEmpty());
    // The console finds its multiplexer boxes by name.
    for (int b = 0; b < 8; ++b)
        QVERIFY(w.findChild<QCheckBox*>(QString("chkbCh%1").arg(b)));
    for (int n = 1; n <= 6; ++n)
        QVERIFY(w.findChild<QCheckBox*>(QString("chkbInf%1").arg(n)));
}

TACTILE_TEST_MAIN(TestToolForms)
#include "tst_toolForms.moc"
