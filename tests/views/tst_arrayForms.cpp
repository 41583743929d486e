// The forms of the taxel-array and channel-list views, built on bare widgets as the views' own
// constructors build them: widget tree, sizes, styles, margins and texts in both languages.

#include "testMain.h"

#include "sensorForm.h"
#include "ydds.h"

#include "ui_fingerForm_102.h"
#include "ui_fingerForm_18.h"
#include "ui_fingerForm_2.h"
#include "ui_fingerForm_55.h"
#include "ui_fingerForm_56.h"
#include "ui_fingerForm_81.h"
#include "ui_fingerForm_96.h"

#include <QBoxLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QProgressBar>
#include <QScrollArea>
#include <QTabWidget>
#include <QTranslator>
#include <functional>
#include <memory>

namespace {

// A form built on a fresh widget; the form object goes, the widgets stay with the widget.
using Builder = std::function<std::unique_ptr<QWidget>(const QString& name)>;

template <class Form>
Builder builder()
{
    return [](const QString& name) {
        auto w = std::make_unique<QWidget>();
        w->setObjectName(name);
        Form().setupUi(w.get());
        return w;
    };
}

// Titles as "tab<i>=…" per page, then "<box>=…" per group box in creation order.
QStringList titlesOf(const QWidget& w)
{
    QStringList out;
    if (auto* tabs = w.findChild<QTabWidget*>("tabWidget"))
        for (int i = 0; i < tabs->count(); ++i)
            out << QString("tab%1=%2").arg(i).arg(tabs->tabText(i));
    for (const QGroupBox* box : w.findChildren<QGroupBox*>())
        out << box->objectName() + "=" + box->title();
    return out;
}

struct TaxelForm {
    const char* name;
    Builder build;
    QSize size;
    const char* styleSheet;
    const char* pageLayout;
    bool pressureStretched;
    int topMargins[2];  // gridLayout_3, gridLayout_2; -1: the style's default
};

const TaxelForm kTaxelForms[] = {
    {"fingerForm_55", builder<Ui_fingerForm_55>(), {575, 467}, "", "verticalLayout_2", true, {-1, -1}},
    {"fingerForm_56", builder<Ui_fingerForm_56>(), {590, 497}, "", "verticalLayout", true, {-1, -1}},
    {"fingerForm_81", builder<Ui_fingerForm_81>(), {809, 474}, "border:1px solid black;", "verticalLayout", true,
     {-1, -1}},
    {"fingerForm_96", builder<Ui_fingerForm_96>(), {400, 300}, "border:1px solid black;", "verticalLayout_2",
     false, {17, 20}},
    {"fingerForm_102", builder<Ui_fingerForm_102>(), {400, 300}, "", "verticalLayout_2", false, {-1, -1}},
};

}  // namespace

Q_DECLARE_METATYPE(Builder)

class tst_arrayForms : public QObject {
    Q_OBJECT

private slots:
    void taxelForms_data();
    void taxelForms();
    void channelListForm();
    void channelFormWithoutRows();
    void namesAFormOnlyWhenUnnamed();
    void texts_data();
    void texts();
};

void tst_arrayForms::taxelForms_data()
{
    QTest::addColumn<int>("form");
    for (int i = 0; i < int(std::size(kTaxelForms)); ++i)
        QTest::newRow(kTaxelForms[i].name) << i;
}

void tst_arrayForms::taxelForms()
{
    QFETCH(int, form);
    const TaxelForm& f = kTaxelForms[form];
    const std::unique_ptr<QWidget> w = f.build(QString());
    QCOMPARE(w->objectName(), QString(f.name));
    QCOMPARE(w->size(), f.size);
    QCOMPARE(w->styleSheet(), QString(f.styleSheet));
    QCOMPARE(w->windowTitle(), QString("Form"));

    // Pressure box with the one page, proximity box with the bar, side by side.
    auto* row = qobject_cast<QHBoxLayout*>(w->layout());
    QVERIFY(row);
    QCOMPARE(row->objectName(), QString("horizontalLayout"));
    auto* pressure = w->findChild<QGroupBox*>("groupBox_2");
    auto* proximity = w->findChild<QGroupBox*>("groupBox");
    QVERIFY(pressure && proximity);
    QCOMPARE(row->itemAt(0)->widget(), pressure);
    QCOMPARE(row->itemAt(1)->widget(), proximity);
    QCOMPARE(row->stretch(0), f.pressureStretched ? 1 : 0);
    QCOMPARE(row->stretch(1), 0);
    QCOMPARE(pressure->font().pointSize(), 12);
    QCOMPARE(proximity->font().pointSize(), 12);

    auto* tabs = pressure->findChild<QTabWidget*>("tabWidget");
    QVERIFY(tabs);
    QCOMPARE(tabs->count(), 1);
    QCOMPARE(tabs->currentIndex(), 0);
    QCOMPARE(tabs->widget(0)->objectName(), QString("tab"));
    auto* page = qobject_cast<QVBoxLayout*>(tabs->widget(0)->layout());
    QVERIFY(page);
    QCOMPARE(page->objectName(), QString(f.pageLayout));
    auto* grid = w->findChild<sensorForm*>("wgSensor");
    auto* line = w->findChild<QFrame*>("line");
    auto* gauge = w->findChild<ydds*>("label_1");
    QVERIFY(grid && line && gauge);
    QCOMPARE(page->itemAt(0)->widget(), grid);
    QCOMPARE(page->itemAt(1)->widget(), line);
    QCOMPARE(page->itemAt(2)->widget(), gauge);
    QCOMPARE(page->stretch(0), 4);
    QCOMPARE(page->stretch(1), 0);
    QCOMPARE(page->stretch(2), 1);
    QCOMPARE(line->frameShape(), QFrame::HLine);
    QCOMPARE(line->frameShadow(), QFrame::Sunken);
    QVERIFY(grid->cells.isEmpty());
    QCOMPARE(int(grid->rows), 0);
    QCOMPARE(gauge->text(), QString());
    QCOMPARE(gauge->styleSheet(), QString("QLabel { border: none; }"));

    auto* bar = proximity->findChild<QProgressBar*>("pbSProx_1");
    QVERIFY(bar);
    QCOMPARE(bar->minimum(), 0);
    QCOMPARE(bar->maximum(), 300000);
    QCOMPARE(bar->value(), 0);
    QVERIFY(!bar->isTextVisible());
    QCOMPARE(bar->orientation(), Qt::Vertical);
    QCOMPARE(bar->minimumWidth(), 30);
    QCOMPARE(bar->sizePolicy().horizontalPolicy(), QSizePolicy::Fixed);
    QCOMPARE(bar->sizePolicy().verticalPolicy(), QSizePolicy::Expanding);
    for (const char* absent : {"label_2", "pbSProx_2", "pbMProx_1", "lbPress_1"})
        QVERIFY2(!w->findChild<QWidget*>(absent), absent);

    // Only form 96 moves its boxes' contents down.
    const QMargins around = w->findChild<QGridLayout*>("gridLayout_3")->contentsMargins();
    const QMargins beside = proximity->layout()->contentsMargins();
    QCOMPARE(proximity->layout()->objectName(), QString("gridLayout_2"));
    QCOMPARE(around.top(), f.topMargins[0] < 0 ? around.left() : f.topMargins[0]);
    QCOMPARE(beside.top(), f.topMargins[1] < 0 ? beside.left() : f.topMargins[1]);
    QVERIFY(around.left() != 17 && beside.left() != 20);
}

void tst_arrayForms::channelListForm()
{
    const std::unique_ptr<QWidget> w = builder<Ui_fingerForm_2>()(QString());
    QCOMPARE(w->objectName(), QString("fingerForm_2"));
    QCOMPARE(w->size(), QSize(400, 300));
    QCOMPARE(w->windowTitle(), QString("Form"));
    QCOMPARE(titlesOf(*w), QStringList({"tab0=三维力", "tab1=数据", "tab2=布局", "groupBox=压力", "groupBox_2=接近"}));
    auto* tabs = w->findChild<QTabWidget*>("tabWidget");
    QCOMPARE(tabs->currentIndex(), 0);
    QCOMPARE(w->layout()->objectName(), QString("gridLayout_2"));

    // The row container: a resizable scroll area on the second page around an empty column.
    auto* scroll = tabs->widget(1)->findChild<QScrollArea*>("scrollArea");
    QVERIFY(scroll);
    QVERIFY(scroll->widgetResizable());
    QCOMPARE(scroll->widget()->objectName(), QString("sawgDataList"));
    auto* rows = scroll->widget()->findChild<QVBoxLayout*>("lyDataList");
    QVERIFY(rows);
    QCOMPARE(rows->count(), 0);
    // The picture label on the third page.
    auto* picture = tabs->widget(2)->findChild<QLabel*>("lbPCB");
    QVERIFY(picture);
    QCOMPARE(picture->alignment(), Qt::AlignCenter);
    QVERIFY(picture->pixmap(Qt::ReturnByValue).isNull());

    auto* gauge = w->findChild<ydds*>("label_1");
    QVERIFY(gauge);
    QCOMPARE(gauge->alignment(), Qt::AlignCenter);
    QCOMPARE(gauge->parentWidget()->objectName(), QString("groupBox"));
    auto* bar = w->findChild<QProgressBar*>("pbSProx_1");
    QVERIFY(bar);
    QCOMPARE(bar->parentWidget()->objectName(), QString("groupBox_2"));
    QCOMPARE(bar->maximum(), 100);
    QCOMPARE(bar->value(), 24);
    QCOMPARE(bar->sizePolicy().horizontalPolicy(), QSizePolicy::Preferred);
    QCOMPARE(bar->orientation(), Qt::Vertical);
    QVERIFY(!bar->isTextVisible());
}

void tst_arrayForms::channelFormWithoutRows()
{
    const std::unique_ptr<QWidget> w = builder<Ui_fingerForm_18>()(QString());
    QCOMPARE(w->objectName(), QString("fingerForm_18"));
    QCOMPARE(w->size(), QSize(620, 461));
    QCOMPARE(w->styleSheet(), QString("border:1px solid blackk"));
    QCOMPARE(titlesOf(*w), QStringList({"tab0=三维力", "groupBox_3=接近"}));
    for (const char* absent : {"lyDataList", "lbPCB", "sawgDataList", "tab_2", "tab_3", "pbSProx_2"})
        QVERIFY2(!w->findChild<QObject*>(absent), absent);
    auto* first = w->findChild<ydds*>("label_1");
    auto* second = w->findChild<ydds*>("label_2");
    QVERIFY(first && second);
    QCOMPARE(first->styleSheet(), QString("QLabel { border: none; }"));
    auto* box = w->findChild<QGroupBox*>("groupBox_3");
    QCOMPARE(box->maximumWidth(), 100);
    auto* bar = box->findChild<QProgressBar*>("pbSProx_1");
    QVERIFY(bar);
    QCOMPARE(bar->maximum(), 300000);
    QCOMPARE(bar->value(), 0);
}

void tst_arrayForms::namesAFormOnlyWhenUnnamed()
{
    for (const TaxelForm& f : kTaxelForms)
        QCOMPARE(f.build("chosen")->objectName(), QString("chosen"));
    QCOMPARE(builder<Ui_fingerForm_2>()("chosen")->objectName(), QString("chosen"));
    QCOMPARE(builder<Ui_fingerForm_96>()(QString())->objectName(), QString("fingerForm_96"));
}

void tst_arrayForms::texts_data()
{
    QTest::addColumn<Builder>("build");
    QTest::addColumn<bool>("english");
    QTest::addColumn<QStringList>("titles");
    const QStringList taxelChinese{"tab0=三维力", "groupBox_2=压力", "groupBox=接近"};
    const QStringList taxelEnglish{"tab0=Force", "groupBox_2=Data", "groupBox=Proximity"};
    for (const TaxelForm& f : kTaxelForms) {
        const bool untranslated = QString(f.name) == "fingerForm_102";
        QTest::newRow(qPrintable(QString(f.name) + " Chinese")) << f.build << false << taxelChinese;
        QTest::newRow(qPrintable(QString(f.name) + " English"))
            << f.build << true
            << (untranslated ? QStringList{"tab0=三维力", "groupBox_2=压力", "groupBox=Proximity"} : taxelEnglish);
    }
    QTest::newRow("fingerForm_2 Chinese")
        << builder<Ui_fingerForm_2>() << false
        << QStringList{"tab0=三维力", "tab1=数据", "tab2=布局", "groupBox=压力", "groupBox_2=接近"};
    QTest::newRow("fingerForm_2 English")
        << builder<Ui_fingerForm_2>() << true
        << QStringList{"tab0=Data", "tab1=Data", "tab2=布局", "groupBox=Forcr", "groupBox_2=Proximity"};
    QTest::newRow("fingerForm_18 Chinese") << builder<Ui_fingerForm_18>() << false
                                           << QStringList{"tab0=三维力", "groupBox_3=接近"};
    QTest::newRow("fingerForm_18 English") << builder<Ui_fingerForm_18>() << true
                                           << QStringList{"tab0=Data", "groupBox_3=Proximity"};
}

void tst_arrayForms::texts()
{
    QFETCH(Builder, build);
    QFETCH(bool, english);
    QFETCH(QStringList, titles);
    QTranslator translator;
    if (english) {
        QVERIFY(translator.load(":/en.qm"));
        QVERIFY(QCoreApplication::installTranslator(&translator));
    }
    const std::unique_ptr<QWidget> w = build(QString());
    if (english)
        QCoreApplication::removeTranslator(&translator);
    QCOMPARE(titlesOf(*w), titles);
    QCOMPARE(w->windowTitle(), QString("Form"));  // no pair in any context
}

TACTILE_TEST_MAIN(tst_arrayForms)
#include "tst_arrayForms.moc"
