#pragma once

#include <functional>

// How many threads the batch work uses: one per core, at most four. More
// only adds contention on a laptop disk, while a network share or a cold
// cache still gets several reads in flight.
int BatchThreads(int items);

// How many threads read files for ProduceInOrder: eight whatever the cores,
// since a read mostly waits on the disk or the network when the file is not
// cached. On 2,000 files after dropping the page cache, 1 thread took about
// 0.65 s, 2 0.37 s, 4 0.31 s, 8 0.22 s and 16 0.35 s; with a warm cache the
// processor time of 2, 4 and 8 threads was the same within the noise.
int ReadThreads(int items);

// Runs work(0) ... work(count - 1) on BatchThreads(count) threads and
// returns when all are done. Each call must touch only its own item; the
// order of the calls is not defined.
void ParallelFor(int count, const std::function<void(int)>& work);

// The same on threads started for this call (the calling one among them,
// at most count): for work that mostly waits, such as flushes, where more
// threads than cores keep more requests in flight.
void ParallelForOnOwnThreads(int count, int threads, const std::function<void(int)>& work);
