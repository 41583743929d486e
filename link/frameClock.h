#pragma once
// The time a frame was read off the bus, in ms since 1970. The wall clock at the first call, then
// advanced by the monotonic clock: times of one run never go back and keep the spacing the frames
// had, whatever the system clock is set to meanwhile. Safe to call from any thread.

#include <QtGlobal>

namespace frameClock {

// A frame handed on without a read time; its receiver stamps it on arrival.
constexpr qint64 kNoTime = -1;

qint64 nowMs();

// t, or the time now when t is kNoTime (or any other negative value).
inline qint64 orNow(qint64 t)
{
    return t >= 0 ? t : nowMs();
}

}  // namespace frameClock
