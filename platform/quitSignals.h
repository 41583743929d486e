#pragma once
// The requests to end the program that reach it as signals (SIGINT from the terminal, SIGTERM
// from the system or a service manager, SIGHUP when the terminal goes), turned into a call in the
// event loop, where the program can end as it does when its window is closed.

#include <functional>

class QObject;

namespace quitSignals {

// From now on each of the three signals calls onSignal in context's thread, once per signal; a
// second signal of the same kind before install is called again ends the process at once, as it
// would have without this. False where the platform has no such signals (nothing installed).
bool install(QObject* context, std::function<void()> onSignal);

}  // namespace quitSignals
