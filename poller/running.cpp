#include "poller/running.h"

std::atomic<bool> pollerRunning{true};
