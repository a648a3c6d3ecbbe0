// True from process start until shutdown. The UI thread clears it once; the poller
// thread checks it between reads, between game blocks and between player entries so
// that a stop is not held up by a long page.
#pragma once

#include <atomic>

extern std::atomic<bool> pollerRunning;
