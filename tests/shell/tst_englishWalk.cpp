// The English interface holds no Chinese text: every visible widget of the main window (each tab
// of every tab widget, each sensor window of the area), and a panel of every model view the view
// factory can build, each page of it shown in turn. New views and tool pages are walked as they
// are linked in; a Chinese text kept on purpose goes into kKeptChinese. The warnings the project
// shows read English too.

#include "Widget.h"
#include "catalogueFrames.h"
#include "fingerForm.h"
#include "orvalisForm.h"
#include "simBus.h"
#include "testMain.h"
#include "ui_Widget.h"
#include "ui_fingerForm.h"
#include "ui_orvalisForm.h"
#include "viewFactory.h"
#include "workerHarness.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextEdit>
#include <QTranslator>
#include <QTreeWidget>

namespace {

// A text that stays Chinese in the English interface by design.
struct KeptChinese {
    const char* view;  // the model view class whose form shows it
    const char* text;
};
// The box titles of these pressure-taxel, force and taxel-array views have no English pair: their
// forms keep the Chinese titles in either language. View 2 names its own value rows with the
// texts as they stand, untranslated (the panel's rows beside it read English).
const KeptChinese kKeptChinese[] = {
    {"fingerForm_83", "压力"},  {"fingerForm_83", "接近"},  {"fingerForm_85", "压力"},
    {"fingerForm_85", "接近"},  {"fingerForm_86", "压力"},  {"fingerForm_86", "接近"},
    {"fingerForm_98", "压力"},  {"fingerForm_110", "压力"}, {"fingerForm_110", "接近"},
    {"fingerForm_111", "压力"}, {"fingerForm_111", "接近"}, {"fingerForm_102", "压力"},
    {"fingerForm_102", "三维力"}, {"fingerForm_2", "通道0"},  {"fingerForm_2", "通道1"},
    {"fingerForm_2", "通道2"},  {"fingerForm_2", "通道3"},  {"fingerForm_2", "通道4"},
    {"fingerForm_2", "通道5"},  {"fingerForm_2", "通道6"},  {"fingerForm_2", "通道7"},
    {"fingerForm_2", "法向力0"}, {"fingerForm_2", "切向力0"}, {"fingerForm_2", "方向0"},
    {"fingerForm_2", "自电容接近0"},
};

// Every sensor found and given its panel; only a hang runs out of this.
constexpr int kShownMs = 30000;
constexpr uint8_t kWindowTypes[] = {20, 45};

bool holdsChinese(const QString& text)
{
    for (uint ch : text.toUcs4())
        if (QChar::script(ch) == QChar::Script_Han)
            return true;
    return false;
}

// The model view a widget belongs to: its own class or its nearest ancestor's that is one.
QString viewOf(const QWidget* w)
{
    for (; w; w = w->parentWidget()) {
        const QString cls = QString::fromLatin1(w->metaObject()->className());
        if (cls.startsWith("fingerForm_"))
            return cls;
    }
    return QString();
}

bool kept(const QWidget* w, const QString& text)
{
    const QString view = viewOf(w);
    for (const KeptChinese& k : kKeptChinese)
        if (view == QLatin1String(k.view) && text == QString::fromUtf8(k.text))
            return true;
    return false;
}

void addTreeItem(const QTreeWidgetItem* item, QStringList* texts)
{
    for (int c = 0; c < item->columnCount(); ++c)
        *texts << item->text(c) << item->toolTip(c);
    for (int i = 0; i < item->childCount(); ++i)
        addTreeItem(item->child(i), texts);
}

// Every text a user can read on the widget itself (its children are walked on their own).
QStringList textsOf(const QWidget* w)
{
    QStringList texts{w->toolTip()};
    if (w->isWindow() || qobject_cast<const QMdiSubWindow*>(w))
        texts << w->windowTitle();
    if (auto* l = qobject_cast<const QLabel*>(w))
        texts << l->text();
    if (auto* b = qobject_cast<const QAbstractButton*>(w))
        texts << b->text();
    if (auto* g = qobject_cast<const QGroupBox*>(w))
        texts << g->title();
    if (auto* c = qobject_cast<const QComboBox*>(w))
        for (int i = 0; i < c->count(); ++i)
            texts << c->itemText(i);
    if (auto* t = qobject_cast<const QTabBar*>(w))
        for (int i = 0; i < t->count(); ++i)
            texts << t->tabText(i) << t->tabToolTip(i);
    if (auto* e = qobject_cast<const QLineEdit*>(w))
        texts << e->text() << e->placeholderText();
    if (auto* s = qobject_cast<const QSpinBox*>(w))
        texts << s->prefix() << s->suffix() << s->specialValueText();
    if (auto* s = qobject_cast<const QDoubleSpinBox*>(w))
        texts << s->prefix() << s->suffix() << s->specialValueText();
    if (auto* p = qobject_cast<const QProgressBar*>(w); p && p->isTextVisible())
        texts << p->text();
    if (auto* t = qobject_cast<const QTextEdit*>(w))
        texts << t->toPlainText();
    if (auto* t = qobject_cast<const QPlainTextEdit*>(w))
        texts << t->toPlainText();
    if (auto* t = qobject_cast<const QTableWidget*>(w)) {
        for (int c = 0; c < t->columnCount(); ++c)
            if (const QTableWidgetItem* h = t->horizontalHeaderItem(c))
                texts << h->text();
        for (int r = 0; r < t->rowCount(); ++r) {
            if (const QTableWidgetItem* h = t->verticalHeaderItem(r))
                texts << h->text();
            for (int c = 0; c < t->columnCount(); ++c)
                if (const QTableWidgetItem* i = t->item(r, c))
                    texts << i->text();
        }
    }
    if (auto* t = qobject_cast<const QTreeWidget*>(w)) {
        if (!t->isHeaderHidden())
            addTreeItem(t->headerItem(), &texts);
        for (int i = 0; i < t->topLevelItemCount(); ++i)
            addTreeItem(t->topLevelItem(i), &texts);
    }
    if (auto* l = qobject_cast<const QListWidget*>(w))
        for (int i = 0; i < l->count(); ++i)
            texts << l->item(i)->text();
    return texts;
}

// Walks the visible widgets under w, showing each page of a tab widget and each window of an
// area in turn; collects "object (class): text" for every Chinese text not kept on purpose.
void walk(QWidget* w, QStringList* found)
{
    if (!w->isVisible())
        return;
    for (const QString& text : textsOf(w))
        if (holdsChinese(text) && !kept(w, text))
            *found << QString("%1 (%2 in %3): %4").arg(w->objectName(), w->metaObject()->className(), viewOf(w), text);

    if (auto* tabs = qobject_cast<QTabWidget*>(w)) {
        walk(tabs->tabBar(), found);
        const int shown = tabs->currentIndex();
        for (int i = 0; i < tabs->count(); ++i) {
            tabs->setCurrentIndex(i);
            walk(tabs->widget(i), found);
        }
        tabs->setCurrentIndex(shown);
        return;
    }
    if (auto* area = qobject_cast<QMdiArea*>(w)) {
        for (QWidget* child : area->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
            if (!qobject_cast<QMdiSubWindow*>(child))
                walk(child, found);  // the tab bar, the scroll bars
        for (QMdiSubWindow* sub : area->subWindowList()) {
            area->setActiveSubWindow(sub);
            walk(sub, found);
        }
        return;
    }
    for (QWidget* child : w->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        walk(child, found);
}

// The first type code shown by each model view the factory can build.
QVector<uint8_t> oneTypePerView()
{
    QVector<uint8_t> types;
    QVector<uint8_t> views;
    for (int code = 0; code < 255; ++code) {
        const uint8_t view = viewFactory::viewClassFor(uint8_t(code));
        if (view && viewFactory::isRegistered(view) && !views.contains(view)) {
            views << view;
            types << uint8_t(code);
        }
    }
    return types;
}

}  // namespace

class TestEnglishWalk : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void mainWindow();
    void panelOfEveryView_data();
    void panelOfEveryView();
    void warnings_data();
    void warnings();

private:
    QTranslator english;
};

void TestEnglishWalk::initTestCase()
{
    QVERIFY(english.load(":/en.qm"));
    QVERIFY(QCoreApplication::installTranslator(&english));
}

void TestEnglishWalk::cleanup()
{
    sim::reset();
    WarningRecorder::clear();
}

void TestEnglishWalk::mainWindow()
{
    const int bridge = workerWorld::freshBridge();
    for (int i = 0; i < int(std::size(kWindowTypes)); ++i)
        QVERIFY(workerWorld::addSensor(bridge, i, 0x61, kWindowTypes[i]) >= 0);
    Widget window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    orvalisForm* view = window.ui->wgOrvalis;
    QTRY_COMPARE_WITH_TIMEOUT(view->ui->cbbCh341List->count(), 1, 5000);
    QTest::mouseClick(view->ui->pbtnCh341Connect, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(view->mdiArea->subWindowList().size(), int(std::size(kWindowTypes)), kShownMs);
    QTRY_VERIFY(!view->findChildren<fingerForm*>().isEmpty() && view->findChildren<fingerForm*>().first()->ff);

    QStringList found;
    walk(&window, &found);
    QVERIFY2(found.isEmpty(), qPrintable(found.join('\n')));
}

void TestEnglishWalk::panelOfEveryView_data()
{
    QTest::addColumn<int>("type");
    const QVector<uint8_t> types = oneTypePerView();
    QVERIFY(!types.isEmpty());
    for (uint8_t type : types)
        QTest::newRow(qPrintable(QString("type %1").arg(type))) << int(type);
}

void TestEnglishWalk::panelOfEveryView()
{
    QFETCH(int, type);
    fingerForm panel(0, 0x61);
    sensor_ts s;
    s.addr = 0x61;
    s.prg = uint8_t(type);
    panel.sl_connectedFinger(0, 0x61, s);
    QVERIFY(panel.ff);
    // Values on screen, where the catalogue gives the type a frame.
    const QByteArray frame = catalogueFrames::sampleFrame(uint8_t(type));
    if (!frame.isEmpty())
        panel.sl_updateData(0, 0x61, catalogueFrames::toPack(frame));
    panel.flushDisplay();
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));

    QStringList found;
    walk(&panel, &found);
    QVERIFY2(found.isEmpty(), qPrintable(found.join('\n')));
}

void TestEnglishWalk::warnings_data()
{
    QTest::addColumn<bool>("dataFolder");
    QTest::newRow("log file cannot be opened") << false;
    QTest::newRow("data folder cannot be opened") << true;
}

void TestEnglishWalk::warnings()
{
    QFETCH(bool, dataFolder);
    // A file where the data folder should be: neither the log nor the folder can be opened.
    const QString folder = orvalisForm::dataFolder();
    QDir(folder).removeRecursively();
    QFile blocker(folder);
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    if (dataFolder) {
        orvalisForm view;
        QTest::mouseClick(view.ui->pbtnOpenSaveDir, Qt::LeftButton);
    } else {
        fingerForm panel(0, 0x61);
        sensor_ts s;
        s.addr = 0x61;
        s.prg = 31;
        panel.sl_connectedFinger(0, 0x61, s);
        panel.ui->chkbtnSave->setChecked(true);
        panel.sl_updateData(0, 0x61, catalogueFrames::toPack(catalogueFrames::sampleFrame(31)));
    }
    blocker.remove();
    QCOMPARE(WarningRecorder::warnings().size(), 1);
    const QPair<QString, QString> warning = WarningRecorder::warnings().first();
    QVERIFY2(!holdsChinese(warning.first) && !holdsChinese(warning.second),
             qPrintable(warning.first + ": " + warning.second));
}

TACTILE_TEST_MAIN(TestEnglishWalk)
#include "tst_englishWalk.moc"
