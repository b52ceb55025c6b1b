#pragma once

#include <functional>

// Runs work(0) ... work(count - 1) on a few threads (one per core, at most
// four) and returns when all are done. Each call must touch only its own
// item; the order of the calls is not defined.
void ParallelFor(int count, const std::function<void(int)>& work);
