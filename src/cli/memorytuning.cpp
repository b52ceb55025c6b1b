// quorvel-cli reads and writes thousands of files in one run, and each file
// costs a few tag-sized blocks (a cover picture makes them 100 KB and more).
// With glibc's defaults such blocks are mapped and unmapped, or the top of
// the heap is given back and taken again, for every file, and the page
// faults cost more than the reading itself (three times the time of `show`
// on 5,000 files with covers). Freed memory is kept for the next file.
#include <malloc.h>

namespace {

struct KeepFreedMemory {
    KeepFreedMemory() {
#ifdef __GLIBC__
        mallopt(M_MMAP_THRESHOLD, 32 << 20); // the largest glibc accepts
        mallopt(M_TRIM_THRESHOLD, 256 << 20);
        mallopt(M_TOP_PAD, 16 << 20);
#endif
    }
};

const KeepFreedMemory keepFreedMemory;

} // namespace
