// Plug, unplug and move of bridges. The library calls the plug routine on a thread of its own;
// the adapters hand the work over to their own thread, close a bridge that went away, reopen one
// that moved, and survive a routine racing their destructor.

#include "testMain.h"
#include "tst_bridgeFixture.h"

#include <QSignalSpy>
#include <QThread>

using namespace bridgeFixture;

namespace {

constexpr uint16_t kId = 6002;
// The plug routine's work and the first scan take a few hundred ms at most; this only catches a hang.
constexpr int kPlugTimeoutMs = 30000;

sim::BridgeKind kindOf(int k)
{
    return sim::BridgeKind(k);
}

// Records what an adapter tells its users, and on which thread it says it.
struct Recorder {
    QStringList events;
    QVector<QVector<uint16_t>> lists;
    QSet<QThread*> threads;

    void attach(AnyAdapter& a)
    {
        QObject* o = a.object();
        auto note = [this](const QString& e) {
            events << e;
            threads << QThread::currentThread();
        };
        if (a.ch341) {
            QObject::connect(a.ch341.get(), &class_ch341::si_connected, o, [note] { note("connected"); });
            QObject::connect(a.ch341.get(), &class_ch341::si_disconnected, o, [note] { note("disconnected"); });
            QObject::connect(a.ch341.get(), &class_ch341::si_updateList, o, [this, note](QVector<uint16_t> l) {
                lists << l;
                note("list");
            });
        } else {
            QObject::connect(a.ch347.get(), &class_ch347::si_connected, o, [note] { note("connected"); });
            QObject::connect(a.ch347.get(), &class_ch347::si_disconnected, o, [note] { note("disconnected"); });
            QObject::connect(a.ch347.get(), &class_ch347::si_updateList, o, [this, note](QVector<uint16_t> l) {
                lists << l;
                note("list");
            });
        }
    }
    QStringList linkEvents() const
    {
        QStringList out = events;
        out.removeAll("list");
        return out;
    }
};

// An adapter with the test bridge open; its signals are recorded from then on.
struct OpenLink {
    explicit OpenLink(sim::BridgeKind kind) : adapter(kind)
    {
        adapter.scan();
        opened = adapter.open(kId);
        recorder.attach(adapter);
    }
    Recorder recorder;  // declared first: it outlives the adapter, whose destructor still signals
    AnyAdapter adapter;
    bool opened = false;
};

}  // namespace

class tst_bridgePlug : public QObject {
    Q_OBJECT

private:
    int bridge = -1;

    void prepare(int kind)
    {
        sim::reset();
        bridge = addBridge(kindOf(kind), kId);
        QVERIFY(bridge >= 0);
    }

private slots:
    void initTestCase() { simCatalogue::install(); }
    void cleanup() { sim::waitForNotifications(); }

    void firstScanIsReported_data() { addKindRows(); }
    void firstScanIsReported()
    {
        QFETCH(int, kind);
        prepare(kind);
        Recorder r;  // outlives the adapter, whose destructor still signals
        AnyAdapter a(kindOf(kind));
        r.attach(a);
        QTRY_COMPARE_WITH_TIMEOUT(r.lists.size(), 1, kPlugTimeoutMs);
        QCOMPARE(r.lists[0], QVector<uint16_t>{kId});
    }

    // Unplugged: closed and reported. Moved to index 3: closed and reopened there by id.
    void openBridgeFollowsThePlug_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("moved");
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<QString>("log");
        for (int kind : {int(sim::BridgeKind::Ch341), int(sim::BridgeKind::Ch347)}) {
            const char* name = kind == 0 ? "CH341" : "CH347";
            QTest::addRow("%s unplugged", name) << kind << false << QStringList{"disconnected"}
                                                << "disconnected:6002";
            QTest::addRow("%s moved", name) << kind << true << QStringList{"disconnected", "connected"}
                                            << "restart:6002";
        }
    }
    void openBridgeFollowsThePlug()
    {
        QFETCH(int, kind);
        QFETCH(bool, moved);
        QFETCH(QStringList, events);
        QFETCH(QString, log);
        prepare(kind);
        OpenLink link(kindOf(kind));
        QVERIFY(link.opened);
        AnyAdapter& a = link.adapter;
        QTest::ignoreMessage(QtDebugMsg, log.toLatin1().constData());
        QVERIFY(moved ? sim::move(bridge, 3) : sim::unplug(bridge));
        QTRY_COMPARE_WITH_TIMEOUT(link.recorder.linkEvents(), events, kPlugTimeoutMs);
        // Every signal came from the adapter's own thread, not the library's.
        QCOMPARE(link.recorder.threads, QSet<QThread*>{QThread::currentThread()});
        QCOMPARE(a.isOpen(), moved);
        if (!moved) {
            QVERIFY(link.recorder.lists.contains(QVector<uint16_t>{}));
            return;
        }
        QCOMPARE(a.openId(), kId);
        QCOMPARE(a.devIndex(), uint8_t(3));
        QCOMPARE(a.write(0x70, QByteArray(1, char(kPortMask))), uint16_t(1));
        QCOMPARE(sim::pcaControl(bridge), int(kPortMask));
    }

    void otherBridgeLeavesTheLinkAlone_data() { addKindRows(); }
    void otherBridgeLeavesTheLinkAlone()
    {
        QFETCH(int, kind);
        prepare(kind);
        const int other = addBridge(kindOf(kind), 7777);
        OpenLink link(kindOf(kind));
        QVERIFY(link.opened);
        AnyAdapter& a = link.adapter;
        Recorder& r = link.recorder;
        QVERIFY(sim::unplug(other));
        QTRY_VERIFY_WITH_TIMEOUT(r.lists.contains(QVector<uint16_t>{kId}), kPlugTimeoutMs);
        QVERIFY(sim::plug(other));
        QTRY_VERIFY_WITH_TIMEOUT(r.lists.contains((QVector<uint16_t>{kId, 7777})), kPlugTimeoutMs);
        QVERIFY(a.isOpen());
        QCOMPARE(r.linkEvents(), QStringList{});
    }

    void pluggedBridgeIsListed_data() { addKindRows(); }
    void pluggedBridgeIsListed()
    {
        QFETCH(int, kind);
        sim::reset();
        sim::BridgeConfig b;
        b.kind = kindOf(kind);
        b.id = 4321;
        b.plugged = false;
        bridge = sim::addBridge(b);
        Recorder r;  // outlives the adapter, whose destructor still signals
        AnyAdapter a(kindOf(kind));
        r.attach(a);
        QTRY_COMPARE_WITH_TIMEOUT(r.lists.size(), 1, kPlugTimeoutMs);  // the first scan: nothing
        QCOMPARE(r.lists[0], QVector<uint16_t>{});
        QVERIFY(sim::plug(bridge, 5));
        QTRY_COMPARE_WITH_TIMEOUT(r.lists.size(), 2, kPlugTimeoutMs);
        QCOMPARE(r.lists[1], QVector<uint16_t>{4321});
        QVERIFY(a.open(4321));
        QCOMPARE(a.devIndex(), uint8_t(5));
    }

    // The adapter of a worker thread gets its plug work in that thread.
    void adapterInAnotherThread_data() { addKindRows(); }
    void adapterInAnotherThread()
    {
        QFETCH(int, kind);
        prepare(kind);
        QThread thread;
        thread.start();
        QObject context;
        context.moveToThread(&thread);
        Recorder r;
        std::unique_ptr<AnyAdapter> a;
        QMetaObject::invokeMethod(&context, [&] {
            a = std::make_unique<AnyAdapter>(kindOf(kind));
            a->scan();
            a->open(kId);
            r.attach(*a);
        }, Qt::BlockingQueuedConnection);
        QVERIFY(sim::unplug(bridge));
        sim::waitForNotifications();
        bool closed = false;
        QTRY_VERIFY_WITH_TIMEOUT(
            (QMetaObject::invokeMethod(&context, [&] { closed = !a->isOpen(); }, Qt::BlockingQueuedConnection),
             closed),
            kPlugTimeoutMs);
        QMetaObject::invokeMethod(&context, [&] { a.reset(); }, Qt::BlockingQueuedConnection);
        thread.quit();
        thread.wait();
        QCOMPARE(r.linkEvents(), QStringList{"disconnected"});
        QCOMPARE(r.threads, QSet<QThread*>{&thread});
    }

    // Only the adapter that is still the current one unregisters the routine.
    void olderAdapterLeavesTheRoutine_data() { addKindRows(); }
    void olderAdapterLeavesTheRoutine()
    {
        QFETCH(int, kind);
        prepare(kind);
        Recorder r;
        auto older = std::make_unique<AnyAdapter>(kindOf(kind));
        AnyAdapter newer(kindOf(kind));
        older.reset();
        QVERIFY(sim::plugRoutineRegistered(kindOf(kind)));
        r.attach(newer);
        QVERIFY(sim::unplug(bridge));
        QTRY_VERIFY_WITH_TIMEOUT(r.lists.contains(QVector<uint16_t>{}), kPlugTimeoutMs);
        newer.reset();
        QVERIFY(!sim::plugRoutineRegistered(kindOf(kind)));
    }

    // Routines racing destructors: run under the sanitizer build, a freed adapter touched fails.
    void routineRacingTheDestructor_data() { addKindRows(); }
    void routineRacingTheDestructor()
    {
        QFETCH(int, kind);
        prepare(kind);
        for (int round = 0; round < 40; ++round) {
            auto a = std::make_unique<AnyAdapter>(kindOf(kind));
            a->scan();
            a->open(kId);
            if (round % 2 == 0)
                QVERIFY(sim::unplug(bridge));
            else
                QVERIFY(sim::plug(bridge));
            if (round % 3 == 0)
                QCoreApplication::processEvents();
            a.reset();
        }
        sim::waitForNotifications();
        QTest::qWait(250);  // deferred rescans would fire now, had they outlived their adapter
        QVERIFY(!sim::plugRoutineRegistered(kindOf(kind)));
    }
};

TACTILE_TEST_MAIN(tst_bridgePlug)
#include "tst_bridgePlug.moc"
