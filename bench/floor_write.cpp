// The least a write of a new title must do when the tag's padding has room
// for it: open each file, read its ID3v2 tag, put the title into TIT2
// (Latin-1), lay the frames out again with the padding that is left, write
// the tag back over itself and close. No undo record, no flush, no check of
// the audio: this is the floor that bench/run compares quorvel-cli apply
// with. Tags it cannot rewrite so (version 2.2, unsynchronised, an extended
// header, no room) are counted and left alone.
//
// bench_floor_write TITLE FILE...
#include "floorio.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

uint32_t Synchsafe(const unsigned char* b) {
    return uint32_t(b[0] & 0x7F) << 21 | uint32_t(b[1] & 0x7F) << 14 | uint32_t(b[2] & 0x7F) << 7 |
           uint32_t(b[3] & 0x7F);
}

uint32_t BigEndian(const unsigned char* b) {
    return uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | uint32_t(b[3]);
}

void PutSize(unsigned char* b, uint32_t size, int version) {
    if (version == 4) {
        for (int i = 0; i < 4; ++i)
            b[i] = static_cast<unsigned char>((size >> (21 - 7 * i)) & 0x7F);
    } else {
        for (int i = 0; i < 4; ++i)
            b[i] = static_cast<unsigned char>(size >> (24 - 8 * i));
    }
}

// The tag's frames with TIT2 holding title, padded to the tag's size.
bool Rewrite(const std::vector<unsigned char>& tag, int version, const std::string& title,
             std::vector<unsigned char>& out) {
    out.clear();
    const size_t size = tag.size();
    std::vector<unsigned char> titleFrame(10 + 1 + title.size(), 0);
    std::memcpy(titleFrame.data(), "TIT2", 4);
    PutSize(titleFrame.data() + 4, uint32_t(1 + title.size()), version);
    std::memcpy(titleFrame.data() + 11, title.data(), title.size());
    bool placed = false;
    size_t pos = 0;
    while (pos + 10 <= size && tag[pos] != 0) {
        const uint32_t body = version == 4 ? Synchsafe(&tag[pos + 4]) : BigEndian(&tag[pos + 4]);
        if (body > size - pos - 10)
            return false;
        if (std::memcmp(&tag[pos], "TIT2", 4) == 0) {
            out.insert(out.end(), titleFrame.begin(), titleFrame.end());
            placed = true;
        } else {
            out.insert(out.end(), tag.begin() + long(pos), tag.begin() + long(pos + 10 + body));
        }
        pos += 10 + body;
    }
    if (!placed)
        out.insert(out.end(), titleFrame.begin(), titleFrame.end());
    if (out.size() > size)
        return false; // the padding has no room for it
    out.resize(size, 0);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_floor_write TITLE FILE...\n");
        return 2;
    }
    const std::string title = argv[1];
    std::vector<unsigned char> tag, out;
    int rewritten = 0, left = 0;
    for (int i = 2; i < argc; ++i) {
        const int fd = ::open(argv[i], O_RDWR | O_CLOEXEC);
        unsigned char header[10];
        bool done = false;
        if (fd >= 0 && ReadAll(fd, header, 10, 0) && std::memcmp(header, "ID3", 3) == 0 &&
            (header[3] == 3 || header[3] == 4) && (header[5] & 0xC0) == 0) {
            tag.resize(Synchsafe(header + 6));
            done = ReadAll(fd, tag.data(), tag.size(), 10) && Rewrite(tag, header[3], title, out) &&
                   ::pwrite(fd, out.data(), out.size(), 10) == ssize_t(out.size());
        }
        if (fd >= 0)
            ::close(fd);
        done ? ++rewritten : ++left;
    }
    std::printf("%d files rewritten, %d left alone\n", rewritten, left);
    return left ? 1 : 0;
}
