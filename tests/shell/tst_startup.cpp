// The main window's tab switch and the start-up translations: the program's own and Qt's.

#include "Widget.h"
#include "class_settings.h"
#include "fwUpdateForm.h"
#include "logRecorder.h"
#include "orvalisForm.h"
#include "qMain.h"
#include "sensorDebugForm.h"
#include "setSensorAddrForm.h"
#include "testMain.h"
#include "ui_Widget.h"
#include "viewFactory.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QMutex>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTranslator>

namespace {

// The pages' own "start"/"stop" lines, in the order they were logged.
struct PageLog {
    static QStringList& lines()
    {
        static QStringList l;
        return l;
    }
    static QMutex& mutex()
    {
        static QMutex m;
        return m;
    }
    static QtMessageHandler& previous()
    {
        static QtMessageHandler h = nullptr;
        return h;
    }
    static void handler(QtMsgType type, const QMessageLogContext& context, const QString& msg)
    {
        static const QRegularExpression pageLine(
            "^(orvalisForm|fwUpdateForm|setSensorAddrForm|sensorDebugForm) (start|stop)$");
        {
            QMutexLocker lock(&mutex());
            if (pageLine.match(msg).hasMatch())
                lines() << msg;
        }
        if (previous())
            previous()(type, context, msg);
    }
    static QStringList take()
    {
        QMutexLocker lock(&mutex());
        QStringList out = lines();
        lines().clear();
        return out;
    }
};

// Expected lines of one tab change: every page in tab order, "start" for the chosen one.
QStringList visit(int chosen)
{
    static const char* const pages[] = {"orvalisForm", "fwUpdateForm", "setSensorAddrForm", "sensorDebugForm"};
    QStringList out;
    for (int i = 0; i < 4; ++i)
        out << QString("%1 %2").arg(pages[i], i == chosen ? "start" : "stop");
    return out;
}

}  // namespace

class TestStartup : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void windowTitleAndTabs();
    void constructionStartsSensorView();
    void startUpMakesNoViewWithoutSensor();
    void tabHandler_data();
    void tabHandler();
    void userMovesBetweenTools();
    void catalogueTranslatesShellPairs_data();
    void catalogueTranslatesShellPairs();
    void languageSetting_data();
    void languageSetting();
    void freshStartWritesChinese();
    void qtDialogsFollowTheLanguage_data();
    void qtDialogsFollowTheLanguage();
    void missingQtTranslationLeavesEnglish();
};

void TestStartup::initTestCase()
{
    PageLog::previous() = qInstallMessageHandler(PageLog::handler);
}

void TestStartup::cleanupTestCase()
{
    qInstallMessageHandler(PageLog::previous());
}

void TestStartup::init()
{
    PageLog::take();
}

void TestStartup::windowTitleAndTabs()
{
    Widget w;
    QCOMPARE(w.windowTitle(), QString("触觉传感器上位机"));
    QCOMPARE(w.size(), QSize(800, 600));
    QTabWidget* tabs = w.ui->tabWidget;
    QCOMPARE(tabs->count(), 4);
    QCOMPARE(tabs->currentIndex(), 0);
    const QStringList texts = {"显示", "固件更新", "地址设置", "调试"};
    const QList<QWidget*> pages = {w.ui->wgOrvalis, w.ui->wgUpdate, w.ui->wgSetAddr, w.ui->wgDebug};
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(tabs->tabText(i), texts[i]);
        QVERIFY(tabs->widget(i)->isAncestorOf(pages[i]));
    }
}

void TestStartup::constructionStartsSensorView()
{
    Widget w;
    // Once, before the window is shown: the sensor view starts, the tools stop untouched.
    QCOMPARE(PageLog::take(), visit(0));
    QVERIFY(!w.isVisible());
    QVERIFY(!w.ui->wgUpdate->isStarted());
    QVERIFY(!w.ui->wgSetAddr->isStarted());
    QVERIFY(!w.ui->wgDebug->isStarted());
}

void TestStartup::startUpMakesNoViewWithoutSensor()
{
    // The views are built in, so sizing the window could make them.
    QVERIFY(viewFactory::isRegistered(17));
    LogRecorder log;
    Widget w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QVERIFY(!log.matching("^orvalisForm start$").isEmpty());
    // A view or panel logs itself as it is made ("fingerForm_17 new", "fingerForm new"), and a
    // view without a catalogue record says "not found finger prg": none of it before a sensor.
    QCOMPARE(log.matching("fingerForm|not found finger"), QStringList());
}

void TestStartup::tabHandler_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QStringList>("expected");
    for (int i = 0; i < 4; ++i)
        QTest::newRow(qPrintable(QString("tab %1").arg(i))) << i << visit(i);
    QTest::newRow("past the last tab") << 4 << QStringList();
    QTest::newRow("no tab") << -1 << QStringList();
}

void TestStartup::tabHandler()
{
    QFETCH(int, index);
    QFETCH(QStringList, expected);
    Widget w;
    PageLog::take();
    emit w.ui->tabWidget->currentChanged(index);
    QCOMPARE(PageLog::take(), expected);
}

void TestStartup::userMovesBetweenTools()
{
    Widget w;
    PageLog::take();
    QTabWidget* tabs = w.ui->tabWidget;

    tabs->setCurrentIndex(1);
    QCOMPARE(PageLog::take(), visit(1));
    tabs->setCurrentIndex(3);
    QCOMPARE(PageLog::take(), visit(3));
    QVERIFY(!w.ui->wgUpdate->isStarted());
    QVERIFY(w.ui->wgDebug->isStarted());

    // The current tab again: Qt reports no change, so nothing starts or stops.
    tabs->setCurrentIndex(3);
    QCOMPARE(PageLog::take(), QStringList());

    tabs->setCurrentIndex(2);
    QCOMPARE(PageLog::take(), visit(2));
    QVERIFY(w.ui->wgSetAddr->isStarted());
    QVERIFY(!w.ui->wgDebug->isStarted());
    tabs->setCurrentIndex(0);
    QCOMPARE(PageLog::take(), visit(0));
    QVERIFY(!w.ui->wgSetAddr->isStarted());
}

void TestStartup::catalogueTranslatesShellPairs_data()
{
    QTest::addColumn<QString>("context");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("english");
    QTest::newRow("title") << "QObject" << "触觉传感器上位机" << "Sensor";
    QTest::newRow("port") << "QObject" << "接口" << "Port";
    QTest::newRow("connect") << "QObject" << "连接" << "Connect";
    QTest::newRow("disconnect") << "QObject" << "断开" << "Disconnect";
    QTest::newRow("tab 0") << "Widget" << "显示" << "Sensor";
    QTest::newRow("tab 1") << "Widget" << "固件更新" << "Update";
    QTest::newRow("tab 2") << "Widget" << "地址设置" << "Address";
    QTest::newRow("tab 3") << "Widget" << "调试" << "Debug";
}

void TestStartup::catalogueTranslatesShellPairs()
{
    QFETCH(QString, context);
    QFETCH(QString, source);
    QFETCH(QString, english);
    QTranslator translator;
    QVERIFY(translator.load(":/en.qm"));
    QCOMPARE(translator.translate(qPrintable(context), qPrintable(source)), english);
}

void TestStartup::languageSetting_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<bool>("english");
    QTest::newRow("en") << "en" << true;
    QTest::newRow("EN (exact comparison)") << "EN" << false;
    QTest::newRow("english") << "english" << false;
    QTest::newRow("zh_cn") << "zh_cn" << false;
}

void TestStartup::languageSetting()
{
    QFETCH(QString, language);
    QFETCH(bool, english);
    class_settings::set("language", language, "config");
    QTranslator translator;
    QCOMPARE(installLanguage(translator), english);
    Widget w;
    QCoreApplication::removeTranslator(&translator);

    const QStringList zh = {"触觉传感器上位机", "显示", "固件更新", "地址设置", "调试"};
    const QStringList en = {"Sensor", "Sensor", "Update", "Address", "Debug"};
    const QStringList& want = english ? en : zh;
    QCOMPARE(w.windowTitle(), want[0]);
    for (int i = 0; i < 4; ++i)
        QCOMPARE(w.ui->tabWidget->tabText(i), want[i + 1]);
    // Any value stays in the file as it was.
    QCOMPARE(class_settings::get("language", "zh_cn", "config"), language);
}

void TestStartup::freshStartWritesChinese()
{
    QFile::remove(class_settings::filePath("config"));
    QTranslator translator;
    QVERIFY(!installLanguage(translator));
    QVERIFY(translator.isEmpty());
    QSettings ini(class_settings::filePath("config"), QSettings::IniFormat);
    QCOMPARE(ini.value("language").toString(), QString("zh_cn"));
}

namespace {

struct DialogTexts {
    QString lookIn;
    QString cancel;
    QString ok;
};

// The texts of Qt's own widgets as the tools show them: the firmware file dialog's "Look in" and
// Cancel, and a standard button box. Built, never shown or run.
DialogTexts qtDialogTexts()
{
    QFileDialog dialog(nullptr, "选择app文件");
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    DialogTexts texts;
    if (auto* lookIn = dialog.findChild<QLabel*>("lookInLabel"))
        texts.lookIn = lookIn->text();
    if (auto* box = dialog.findChild<QDialogButtonBox*>("buttonBox"))
        if (QPushButton* cancel = box->button(QDialogButtonBox::Cancel))
            texts.cancel = cancel->text();
    QDialogButtonBox box(QDialogButtonBox::Ok);
    texts.ok = box.button(QDialogButtonBox::Ok)->text();
    return texts;
}

}  // namespace

void TestStartup::qtDialogsFollowTheLanguage_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("lookIn");
    QTest::addColumn<QString>("cancel");
    QTest::addColumn<QString>("ok");
    QTest::newRow("zh_cn") << "zh_cn" << "查找范围：" << "取消" << "确定";
    QTest::newRow("en") << "en" << "Look in:" << "Cancel" << "OK";
    QTest::newRow("any other value: Chinese") << "EN" << "查找范围：" << "取消" << "确定";
}

void TestStartup::qtDialogsFollowTheLanguage()
{
    QFETCH(QString, language);
    QFETCH(QString, lookIn);
    QFETCH(QString, cancel);
    QFETCH(QString, ok);
    class_settings::set("language", language, "config");
    // As start-up installs them.
    QTranslator translator;
    QTranslator qtTranslator;
    QVERIFY2(installQtLanguage(qtTranslator, installLanguage(translator)),
             qPrintable("Qt's translations missing in " + qtTranslationsFolder() + ": install qttranslations5-l10n"));
    const DialogTexts texts = qtDialogTexts();
    QCOMPARE(texts.lookIn, lookIn);
    QCOMPARE(texts.cancel, cancel);
    QCOMPARE(texts.ok, ok);
}

void TestStartup::missingQtTranslationLeavesEnglish()
{
    const QTemporaryDir empty;
    QVERIFY(empty.isValid());
    LogRecorder log;
    QTranslator qtTranslator;
    QVERIFY(!installQtLanguage(qtTranslator, false, empty.path()));
    const QString missing = QDir(empty.path()).filePath("qtbase_zh_CN.qm");
    QCOMPARE(log.matching("^Qt translation not found: " + QRegularExpression::escape(missing) + " ").size(), 1);
    // Nothing else changes: Qt's widgets speak English, the window opens as always.
    QCOMPARE(qtDialogTexts().cancel, QString("Cancel"));
    Widget w;
    QCOMPARE(w.windowTitle(), QString("触觉传感器上位机"));
}

TACTILE_TEST_MAIN(TestStartup)
#include "tst_startup.moc"
