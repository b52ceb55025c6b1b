#pragma once

// What the C floors of bench/ read with: plain pread until count bytes are
// in, with no retry on a signal (they install no handlers).
#include <sys/types.h>
#include <unistd.h>

#include <cstddef>

inline bool ReadAll(int fd, unsigned char* buffer, size_t count, off_t offset) {
    while (count > 0) {
        const ssize_t n = ::pread(fd, buffer, count, offset);
        if (n <= 0)
            return false;
        buffer += n;
        count -= size_t(n);
        offset += n;
    }
    return true;
}
