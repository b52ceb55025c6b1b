#pragma once

#include <functional>

// How many threads the batch work uses: one per core, at most four. More
// only adds contention on a laptop disk, while a network share or a cold
// cache still gets several reads in flight.
int BatchThreads(int items);

// Runs work(0) ... work(count - 1) on BatchThreads(count) threads and
// returns when all are done. Each call must touch only its own item; the
// order of the calls is not defined.
void ParallelFor(int count, const std::function<void(int)>& work);
