// Reads arbitrary bytes as an MP3 file: the reader, the selection read and
// the frame serialisation must cope with anything without a fault.
#include "fuzzfile.h"

#include "tags/diagnostics.h"
#include "tags/selectionread.h"
#include "tags/taginfo.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static std::FILE* sink = std::fopen("/dev/null", "w");
    SetTagDiagnosticStream(sink);
    const QString path = FuzzFilePath();
    if (!WriteFuzzFile(path, data, size))
        std::abort();

    TagInfo tag;
    const SelectionRead read = ReadSelection(tag, path);
    if (read.result != S_OK_RESULT && read.result != S_FALSE_RESULT && read.result != E_FAIL_RESULT)
        std::abort();
    // A file is taken only with MPEG audio after its tag; otherwise the
    // reason is given.
    if (read.ok != (read.result >= 0 && tag.content.mpeg) || read.ok == !read.failure.isEmpty())
        std::abort();
    // A tag that was read fits in the file it was read from.
    if (tag.regionSize < 0 || tag.regionSize > qint64(size))
        std::abort();
    if (tag.hasV1 && size < 128)
        std::abort();

    QByteArray written;
    for (const FrameInfo& frame : tag.frames) {
        const qsizetype before = written.size();
        const qsizetype added = frame.WriteFrame(written);
        if (added != written.size() - before || added > frame.EstimatedSize())
            std::abort();
    }
    return 0;
}
