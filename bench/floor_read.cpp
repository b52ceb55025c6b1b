// The least any tag reader must do: open each file, read its first 10 bytes,
// the ID3v2 tag they announce, and the last 128 bytes. Its time is the floor
// that bench/run compares real readers with. Prints how many bytes it read
// and a checksum of the header and tail bytes.
#include "floorio.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

uint64_t Sum(const unsigned char* bytes, size_t count) {
    uint64_t sum = 0;
    for (size_t i = 0; i < count; ++i)
        sum = sum * 31 + bytes[i];
    return sum;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<unsigned char> tag;
    uint64_t checksum = 0, bytes = 0;
    int failed = 0;
    for (int i = 1; i < argc; ++i) {
        const int fd = ::open(argv[i], O_RDONLY | O_CLOEXEC);
        struct stat st {};
        if (fd < 0 || ::fstat(fd, &st) != 0) {
            ++failed;
            if (fd >= 0)
                ::close(fd);
            continue;
        }
        unsigned char header[10];
        if (ReadAll(fd, header, 10, 0)) {
            checksum += Sum(header, 10);
            bytes += 10;
            if (header[0] == 'I' && header[1] == 'D' && header[2] == '3') {
                const size_t size = size_t(header[6] & 0x7F) << 21 |
                                    size_t(header[7] & 0x7F) << 14 | size_t(header[8] & 0x7F) << 7 |
                                    size_t(header[9] & 0x7F);
                tag.resize(size);
                if (size + 10 <= size_t(st.st_size) && ReadAll(fd, tag.data(), size, 10))
                    bytes += size;
            }
        }
        unsigned char tail[128];
        if (st.st_size >= 128 && ReadAll(fd, tail, 128, st.st_size - 128)) {
            checksum += Sum(tail, 128);
            bytes += 128;
        }
        ::close(fd);
    }
    std::printf("%d files, %d failed, %llu bytes, checksum %llu\n", argc - 1, failed,
                static_cast<unsigned long long>(bytes), static_cast<unsigned long long>(checksum));
    return failed ? 1 : 0;
}
