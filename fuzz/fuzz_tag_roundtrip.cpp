// Read, change, write, read again. A successful write must give back every
// frame the record held, keep the audio (and the ID3v1 block unless asked to
// drop it) byte for byte, and leave a version 3 tag; a failed write must leave
// the file as it was.
#include "fuzzfile.h"

#include "tags/diagnostics.h"
#include "tags/taginfo.h"

#include <QFile>

#include <cstdio>
#include <cstdlib>

namespace {

// What the input asks to change, taken from a hash of its bytes so that the
// bytes themselves stay a plain file.
struct Changes {
    bool removeV1;
    bool clearFirst;
    bool longTitle;  // more than any padding holds: the audio must move
    bool wideArtist; // text without a Latin-1 form
};

Changes ChangesFor(const uint8_t* data, size_t size) {
    quint32 h = 2166136261u;
    for (size_t i = 0; i < size; ++i)
        h = (h ^ data[i]) * 16777619u;
    return {bool(h & 1), bool(h & 2), bool(h & 4), bool(h & 8)};
}

// A frame set from text is written from it and reads back with a body;
// frames that had a body keep it.
bool SameFrame(const FrameInfo& a, const FrameInfo& b) {
    return a.IsId(b.id) && a.text == b.text && a.flags == b.flags &&
           (!a.hasRaw || !b.hasRaw || a.raw == b.raw);
}

// Frames a write gives back: the file-name pseudo-frame and frames without
// any content are not written.
std::list<FrameInfo> Kept(const std::list<FrameInfo>& frames) {
    std::list<FrameInfo> kept;
    for (const FrameInfo& f : frames) {
        if (!f.IsPseudoFrame() && (f.hasRaw || !f.text.isEmpty()))
            kept.push_back(f);
    }
    return kept;
}

void Describe(const char* label, const FrameInfo& f) {
    std::fprintf(stderr, "  %s %s flags=%04x raw=%d/%lld text=%s\n", label, f.id, f.flags,
                 int(f.hasRaw), static_cast<long long>(f.raw.size()),
                 f.text.toUtf8().toPercentEncoding(" ").constData());
}

void Fail(const char* what) {
    std::fprintf(stderr, "round trip: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static std::FILE* sink = std::fopen("/dev/null", "w");
    SetTagDiagnosticStream(sink);
    const QString path = FuzzFilePath();
    ClearFuzzFolder();
    if (!WriteFuzzFile(path, data, size))
        std::abort();
    const QByteArray before(reinterpret_cast<const char*>(data), qsizetype(size));

    TagInfo tag;
    const int readResult = tag.Read(path);
    const Changes changes = ChangesFor(data, size);
    if (changes.clearFirst)
        tag.Clear();
    if (changes.longTitle)
        tag.SetFrameWide("TIT2", QString(700, QChar(u'x')) + QString::number(size), -1);
    if (changes.wideArtist)
        tag.SetFrameWide("TPE1", QStringLiteral(u"Zo\u00eb \u041a\u0438\u043d\u043e \u266b"), -1);
    tag.removeV1 = changes.removeV1;
    const bool hadV1 = tag.hasV1;
    const qint64 oldRegion = tag.regionSize;
    const std::list<FrameInfo> written = Kept(tag.frames);

    const int writeResult = tag.Write();
    const QByteArray after = ReadFuzzFile(path);
    // To look at a finding: QUORVEL_FUZZ_DUMP=FILE keeps the file as written.
    if (const char* dump = std::getenv("QUORVEL_FUZZ_DUMP")) {
        QFile out(QString::fromLocal8Bit(dump));
        if (out.open(QIODevice::WriteOnly))
            out.write(after);
    }
    if (writeResult != 0) {
        if (writeResult != -1)
            Fail("write result is neither 0 nor -1");
        if (after != before)
            Fail("a failed write changed the file");
        return 0;
    }
    if (readResult < 0)
        Fail("a write after a refused read succeeded");

    // The file: a version 3 tag, then the old audio, then the ID3v1 block
    // unless it was dropped.
    if (!after.startsWith(QByteArray("ID3\x03\x00\x00", 6)))
        Fail("the written tag is not a version 3 tag");
    const bool dropped = hadV1 && !tag.hasV1;
    if (dropped && !changes.removeV1)
        Fail("the ID3v1 block went without being asked to");
    const QByteArray audio = before.mid(oldRegion, before.size() - oldRegion - (dropped ? 128 : 0));
    if (tag.regionSize < 10 || after.mid(tag.regionSize) != audio)
        Fail("the audio changed");

    // Reading again gives the frames written, after the ID3v1 frames that
    // the block still gives.
    TagInfo again;
    if (again.Read(path) != S_OK_RESULT)
        Fail("the written tag does not read back");
    TagInfo expected;
    if (again.hasV1) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            std::abort();
        expected.ReadV1(file);
    }
    for (const FrameInfo& f : written)
        expected.AddFrame(f);
    const std::list<FrameInfo> want = Kept(expected.frames);
    const std::list<FrameInfo> got = Kept(again.frames);
    if (want.size() != got.size()) {
        for (const FrameInfo& f : want)
            Describe("written", f);
        for (const FrameInfo& f : got)
            Describe("read back", f);
        Fail("the frame count changed");
    }
    for (auto w = want.begin(), g = got.begin(); w != want.end(); ++w, ++g) {
        if (!SameFrame(*w, *g)) {
            Describe("written", *w);
            Describe("read back", *g);
            Fail("a frame changed");
        }
    }
    if (again.unparsed != tag.unparsed)
        Fail("the bytes kept after an unreadable frame changed");
    return 0;
}
