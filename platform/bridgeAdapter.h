#pragma once
// What the CH341 and CH347 adapters do alike: open by id, follow a plug change, and hand the
// library's plug callback over to the adapter's own thread. Templates over the adapter class, which
// brings openId, devIndex, isOpen(), open(), close() and the signals si_connected() and
// si_disconnected().

#include <QDebug>
#include <QMetaObject>
#include <QVector>
#include <cstdint>
#include <mutex>

namespace bridge {

constexpr unsigned long kRemovalEvent = 0;
constexpr uint8_t kClosed = 0xFF;

// Device index of id in a scan (ids[i] was found at indices[i]), -1 when absent.
inline int deviceIndexOf(const QVector<uint16_t>& ids, const QVector<uint8_t>& indices, uint16_t id)
{
    const int pos = ids.indexOf(id);
    return pos >= 0 && pos < indices.size() ? indices[pos] : -1;
}

// Opens the bridge at `index` (-1: id not listed) for `id`. libOpen returns -1 on failure;
// afterOpen runs on the opened index before the adapter reports it.
template <typename Adapter, typename LibOpen, typename LibClose, typename AfterOpen>
bool openAt(Adapter& a, uint16_t id, int index, int maxIndex, LibOpen libOpen, LibClose libClose,
            AfterOpen afterOpen)
{
    const auto idx = int8_t(index);
    if (a.isOpen() || uint8_t(idx) > maxIndex) {
        qDebug("connect param err:%d,%d", a.isOpen() ? 1 : 0, idx);
        return false;
    }
    if (libOpen(uint8_t(idx)) == -1) {
        libClose(uint8_t(idx));
        a.devIndex = kClosed;
        qDebug("connect fail:%d, idx:%d", id, idx);
        return false;
    }
    afterOpen(uint8_t(idx));
    a.devIndex = uint8_t(idx);
    a.openId = id;
    emit a.si_connected();
    qDebug("connect success:%d, idx:%d", id, idx);
    return true;
}

// Closes an open bridge and tells the users; nothing when closed already.
template <typename Adapter, typename LibClose>
bool closeWith(Adapter& a, LibClose libClose)
{
    if (a.isOpen()) {
        libClose(a.devIndex);
        a.devIndex = kClosed;
        emit a.si_disconnected();
    }
    return true;
}

// After the rescan of a plug change: close an open bridge that is gone, reopen one that moved.
// newIndex is the device index of openId in the new scan, -1 when absent.
template <typename Adapter>
void followPlugChange(Adapter& a, unsigned long event, int newIndex)
{
    const auto idx = int8_t(a.isOpen() ? newIndex : -1);
    if (idx < 0 && event == kRemovalEvent) {
        qDebug("disconnected:%d", a.openId);
        a.close();
    }
    qDebug("openIdx:%d, idx:%d", a.devIndex, idx);
    if (idx >= 0 && a.isOpen() && uint8_t(idx) != a.devIndex) {
        qDebug("restart:%d", a.openId);
        a.close();
        a.open(a.openId);
    }
}

// The class-wide `notify` pointer of an adapter class, guarded: the library calls the plug routine
// from its own thread, possibly while the adapter is being destroyed.
template <typename Adapter>
class PlugHandOver {
public:
    static void adopt(Adapter* a)
    {
        std::lock_guard<std::mutex> lock(mutex());
        Adapter::notify = a;
    }
    // Clears notify when it still names a, calling unregister() under the same lock.
    template <typename Unregister>
    static void release(Adapter* a, Unregister unregister)
    {
        std::lock_guard<std::mutex> lock(mutex());
        if (Adapter::notify != a)
            return;
        unregister();
        Adapter::notify = nullptr;
    }
    // Queues work(adapter) into the thread of the current notify adapter. A queued call dies with
    // its adapter, and the lock keeps the destructor from finishing in between.
    template <typename Work>
    static void post(Work work)
    {
        std::lock_guard<std::mutex> lock(mutex());
        Adapter* a = Adapter::notify;
        if (a)
            QMetaObject::invokeMethod(a, [a, work] { work(a); }, Qt::QueuedConnection);
    }

private:
    static std::mutex& mutex()
    {
        static std::mutex m;
        return m;
    }
};

}  // namespace bridge
