// The sensor view's language switch and data folder: settings written, the restart asked for
// exactly once, the stored language shown without a restart, the folder made and opened.

#include "class_settings.h"
#include "orvalisForm.h"
#include "simBus.h"
#include "testMain.h"
#include "ui_orvalisForm.h"

#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QTabWidget>
#include <QTranslator>
#include <QTreeWidget>

class TestSensorViewSettings : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void storedLanguageShownWithoutRestart_data();
    void storedLanguageShownWithoutRestart();
    void otherStoredValueLeavesChoice();
    void choosingLanguageWritesAndRestartsOnce();
    void noLanguageHandlerBeforeFirstStart();

    void englishForm();
    void dataFolderMadeAndOpened();
    void dataFolderFailures_data();
    void dataFolderFailures();

private:
    static QString language() { return class_settings::get("language", "unset", "config"); }
};

void TestSensorViewSettings::init()
{
    WarningRecorder::clear();
    sim::reset();  // no bridge: the worker runs idle
    QFile::remove(class_settings::filePath("config"));
    QDir(orvalisForm::dataFolder()).removeRecursively();
    QFile::remove(orvalisForm::dataFolder());
}

void TestSensorViewSettings::cleanup()
{
    QVERIFY(WarningRecorder::warnings().isEmpty());
}

void TestSensorViewSettings::storedLanguageShownWithoutRestart_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("index");
    QTest::newRow("zh_cn") << "zh_cn" << 0;
    QTest::newRow("en") << "en" << 1;
    QTest::newRow("empty") << "" << 0;
}

void TestSensorViewSettings::storedLanguageShownWithoutRestart()
{
    QFETCH(QString, stored);
    QFETCH(int, index);
    class_settings::set("language", stored, "config");
    orvalisForm view;
    view.start();
    QCOMPARE(view.ui->cbbLanguage->currentIndex(), index);
    view.stop();
    view.start();
    QCOMPARE(view.ui->cbbLanguage->currentIndex(), index);
    QCOMPARE(WarningRecorder::restarts(), 0);
    QCOMPARE(language(), stored);
}

void TestSensorViewSettings::otherStoredValueLeavesChoice()
{
    class_settings::set("language", "en", "config");
    orvalisForm view;
    view.start();
    view.stop();
    class_settings::set("language", "EN", "config");
    view.start();
    QCOMPARE(view.ui->cbbLanguage->currentIndex(), 1);
    QCOMPARE(language(), QString("EN"));
    QCOMPARE(WarningRecorder::restarts(), 0);
}

void TestSensorViewSettings::choosingLanguageWritesAndRestartsOnce()
{
    orvalisForm view;
    view.start();
    QCOMPARE(language(), QString("zh_cn"));  // a fresh system stores the default
    // Leaving the tab and coming back must not multiply the handler.
    for (int i = 0; i < 3; ++i) {
        view.stop();
        view.start();
    }
    view.ui->cbbLanguage->setCurrentIndex(1);
    QCOMPARE(language(), QString("en"));
    QCOMPARE(WarningRecorder::restarts(), 1);

    view.ui->cbbLanguage->setCurrentIndex(0);
    QCOMPARE(language(), QString("zh_cn"));
    QCOMPARE(WarningRecorder::restarts(), 2);
}

void TestSensorViewSettings::noLanguageHandlerBeforeFirstStart()
{
    orvalisForm view;
    view.ui->cbbLanguage->setCurrentIndex(1);
    QCOMPARE(WarningRecorder::restarts(), 0);
}

void TestSensorViewSettings::englishForm()
{
    QTranslator english;
    QVERIFY(english.load(":/en.qm"));
    QVERIFY(QCoreApplication::installTranslator(&english));
    orvalisForm view;
    QCoreApplication::removeTranslator(&english);

    const Ui::orvalisForm& ui = *view.ui;
    QCOMPARE(ui.groupBox->title(), QString("Board"));
    QCOMPARE(ui.pbtnCh341Connect->text(), QString("Connect"));
    QCOMPARE(ui.chkbtnMdiMode->text(), QString("Multiwindow"));
    QCOMPARE(ui.groupBox_3->title(), QString("Save"));
    QCOMPARE(ui.pbtnOpenSaveDir->text(), QString("Open Save Folder"));
    QCOMPARE(ui.groupBox_4->title(), QString("Http server"));
    QCOMPARE(ui.pbtnServiceConnect->text(), QString("Connect"));
    QCOMPARE(ui.label->text(), QString("Format"));
    QCOMPARE(ui.cbbLanguage->itemText(0), QString("Chinese"));
    QCOMPARE(ui.cbbLanguage->itemText(1), QString("English"));
    QCOMPARE(ui.tabWidget->tabText(0), QString("Data"));
    QCOMPARE(view.tree->topLevelItem(0)->text(0), QString("Port1"));
    QCOMPARE(view.tree->topLevelItem(5)->text(0), QString("Port6"));
}

void TestSensorViewSettings::dataFolderMadeAndOpened()
{
    orvalisForm view;
    const QString folder = hooks::programDir() + "/data";
    QVERIFY(!QFileInfo::exists(folder));
    QTest::mouseClick(view.ui->pbtnOpenSaveDir, Qt::LeftButton);
    QVERIFY(QFileInfo(folder).isDir());
    QCOMPARE(WarningRecorder::openedFolders(), QStringList{folder});
    QVERIFY(!WarningRecorder::openedFolders().first().contains('\\'));

    // An existing folder opens again.
    QTest::mouseClick(view.ui->pbtnOpenSaveDir, Qt::LeftButton);
    QCOMPARE(WarningRecorder::openedFolders().size(), 2);
}

void TestSensorViewSettings::dataFolderFailures_data()
{
    QTest::addColumn<bool>("blockedByFile");
    QTest::addColumn<int>("openCalls");
    QTest::newRow("folder cannot be made") << true << 0;
    QTest::newRow("file manager cannot start") << false << 1;
}

void TestSensorViewSettings::dataFolderFailures()
{
    QFETCH(bool, blockedByFile);
    QFETCH(int, openCalls);
    if (blockedByFile) {
        QFile block(orvalisForm::dataFolder());
        QVERIFY(block.open(QIODevice::WriteOnly));
    } else {
        WarningRecorder::openFolderResult() = false;
    }
    orvalisForm view;
    QTest::ignoreMessage(QtDebugMsg, "文件夹打开失败");
    QTest::mouseClick(view.ui->pbtnOpenSaveDir, Qt::LeftButton);
    QCOMPARE(WarningRecorder::openedFolders().size(), openCalls);
    // The user is told where the logs are, without a dialog to wait on.
    const QVector<QPair<QString, QString>> expected{
        {"打开保存目录", "文件夹打开失败:" + QDir::toNativeSeparators(orvalisForm::dataFolder())}};
    QCOMPARE(WarningRecorder::warnings(), expected);
    WarningRecorder::clear();
}

TACTILE_TEST_MAIN(TestSensorViewSettings)
#include "tst_sensorViewSettings.moc"
