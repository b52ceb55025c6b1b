// What `quorvel-cli show` does, done with TagLib: for each file its ID3v2
// frames (the text of text frames, the size of the others) and whether it
// ends with an ID3v1 block, printed as lines. bench/run times it beside
// quorvel-cli. TagLib reads the audio properties only when asked; it is not
// asked.
#include <taglib/id3v2frame.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    int failed = 0;
    for (int i = 1; i < argc; ++i) {
        TagLib::MPEG::File file(argv[i], false);
        if (!file.isValid()) {
            ++failed;
            std::printf("%s\n  error: not read\n", argv[i]);
            continue;
        }
        std::printf("%s\n  ID3v1: %s\n", argv[i], file.hasID3v1Tag() ? "yes" : "no");
        const TagLib::ID3v2::Tag* tag = file.ID3v2Tag();
        if (!tag)
            continue;
        for (const TagLib::ID3v2::Frame* frame : tag->frameList()) {
            const TagLib::ByteVector id = frame->frameID();
            const std::string name(id.data(), id.size());
            if (name[0] == 'T' && name != "TXXX")
                std::printf("  [%s] %s\n", name.c_str(), frame->toString().toCString(true));
            else
                std::printf("  [%s] %u bytes\n", name.c_str(), frame->size());
        }
    }
    return failed ? 1 : 0;
}
