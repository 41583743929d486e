#include "Widget.h"
#include "fingerForm.h"
#include "orvalisForm.h"
#include "simBus.h"
#include "simulatedBus.h"
#include "testMain.h"
#include "ui_Widget.h"
#include "ui_orvalisForm.h"
#include "ui_fingerForm.h"
#include "viewFactory.h"
#include "class_finger.h"
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScrollBar>
#include <QScreen>
#include <QSplitter>
#include <QElapsedTimer>
class TestScratch : public QObject {
    Q_OBJECT
private slots:
    void timing()
    {
        QElapsedTimer t; t.start();
        QSize m;
        for (int c = 1; c < 256; ++c) if (viewFactory::isRegistered(c)) {
            class_finger* f = viewFactory::create(c, nullptr);
            m = m.expandedTo(f->widget->minimumSizeHint());
            delete f->widget;
        }
        qInfo() << "views" << t.elapsed() << m;
        t.restart();
        fingerForm p(0, 0x60);
        sensor_ts s; s.infIdx=0; s.addr=0x60; s.prg=21; s.devId=3;
        p.sl_connectedFinger(0,0x60,s);
        qInfo() << "unshown" << p.minimumSizeHint() << p.ui->tab->minimumSizeHint() << p.ui->widget->minimumSizeHint() << p.ff->widget->isHidden() << p.ui->widget->isHidden() << p.ui->tab->isHidden();
        p.ensurePolished(); p.ff->widget->ensurePolished();
        qInfo() << "polished" << p.minimumSizeHint() << p.ui->tab->minimumSizeHint() << p.ui->widget->minimumSizeHint() << p.ui->gl->minimumSize() << p.ff->widget->minimumSizeHint();
        t.restart();
        p.layout()->invalidate(); p.layout()->activate();
        qInfo() << "activated" << t.elapsed() << p.minimumSizeHint();
        t.restart();
        p.setAttribute(Qt::WA_DontShowOnScreen);
        p.show();
        qInfo() << "panel" << t.elapsed() << p.minimumSizeHint();
        fingerForm q(0, 0x60);
        q.setAttribute(Qt::WA_DontShowOnScreen);
        q.show();
        qInfo() << "empty panel" << q.minimumSizeHint();
    }
    void explore()
    {
        qputenv("TACTILE_SIM_BUS", "demo");
        installSimulatedBusFromEnvironment();
        auto w = std::make_unique<Widget>();
        orvalisForm* v = w->ui->wgOrvalis;
        qInfo() << "screen" << QGuiApplication::primaryScreen()->availableGeometry();
        qInfo() << "widget hint" << w->sizeHint() << "min" << w->minimumSizeHint() << "view hint" << v->sizeHint() << "largest" << viewFactory::largestMinimumSize() << fingerForm::minimumSizeFor(viewFactory::largestMinimumSize()) << w->size() << "tabw" << v->ui->tabWidget->sizeHint() << v->splitter->sizeHint() << v->ui->tab->sizeHint() << "open" << w->openingSize(QSize(3000,3000)) << v->sizeHint() << v->ui->tabWidget->sizeHint() << v->splitter->sizeHint() << v->ui->tab->sizeHint() ;
        qInfo() << "row content hint" << v->ui->scrollAreaWidgetContents->sizeHint() << "scroll hint" << v->ui->scrollArea->sizeHint();
        qInfo() << "mdi hint" << v->mdiArea->sizeHint() << v->mdiArea->minimumSizeHint();
        w->show();
        QTest::qWait(100);
        qInfo() << "shown" << w->size() << "tabw" << v->ui->tabWidget->sizeHint() << v->splitter->sizeHint() << v->ui->tab->sizeHint() << "open" << w->openingSize(QSize(3000,3000)) << v->sizeHint() << v->ui->tabWidget->sizeHint() << v->splitter->sizeHint() << v->ui->tab->sizeHint() ;
        QTRY_COMPARE(v->ui->cbbCh341List->count(), 1);
        v->ui->pbtnCh341Connect->click();
        QTRY_VERIFY_WITH_TIMEOUT(v->mdiArea->subWindowList().size() == 5, 8000);
        QTest::qWait(300);
        qInfo() << "with panels" << w->size() << "min" << w->minimumSizeHint() << "mdi min" << v->mdiArea->minimumSizeHint() << v->mdiArea->size();
        for (auto* sub : v->mdiArea->subWindowList()) {
            auto* p = sub->findChild<fingerForm*>();
            qInfo() << sub->objectName() << "sub" << sub->size() << sub->minimumSizeHint() << "panel" << p->size() << p->minimumSizeHint()
                    << "view" << (p->ff ? p->ff->widget->size() : QSize()) << (p->ff ? p->ff->widget->minimumSizeHint() : QSize()) << (p->ff ? p->ff->widget->sizeHint() : QSize());
        }
        v->mdiArea->setViewMode(QMdiArea::SubWindowView);
        qInfo() << "after mode" << w->size() << v->mdiArea->size();
        QTest::qWait(100);
        qInfo() << "after mode+wait" << w->size() << v->mdiArea->size();
        v->mdiArea->tileSubWindows();
        qInfo() << "after tile" << w->size() << v->mdiArea->size();
        QTest::qWait(100);
        qInfo() << "after tile+wait" << w->size() << v->mdiArea->size();
        for (auto* sub : v->mdiArea->subWindowList()) { sub->resize(sub->width(), v->mdiArea->height()); qInfo() << "sub" << sub->geometry(); }
        qInfo() << "after resize" << w->size() << v->mdiArea->size();
        QTest::qWait(300);
        qInfo() << "multi" << w->size() << w->minimumSizeHint() << v->mdiArea->size();
        v->ui->chkbtnMdiMode->click();
        QTest::qWait(300);
        qInfo() << "tabbed again" << w->size() << w->minimumSizeHint();
        for (int c = 1; c < 256; ++c) if (viewFactory::isRegistered(c)) {
            fingerForm p(0, 0x60);
            sensor_ts s; s.infIdx=0; s.addr=0x60; s.prg=c; s.devId=3;
            p.sl_connectedFinger(0,0x60,s);
            if (!p.ff) continue;
            p.ff->setShowData(true);
            qInfo() << "class" << c << "panel min" << p.minimumSizeHint() << "view min" << p.ff->widget->minimumSizeHint() << "hint" << p.ff->widget->sizeHint();
        }
    }
};
TACTILE_TEST_MAIN(TestScratch)
#include "tst_zscratch.moc"
