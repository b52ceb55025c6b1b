#include "fixtures.h"
#include "tagtestutil.h"

#include "tags/rewritefileops.h"
#include "tags/rewritetemp.h"
#include "tags/synchsafe.h"
#include "tags/taginfo.h"
#include "tags/tagregion.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <functional>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

using fixture::TextBody;

namespace {

fixture::Tag MakeTag(int version, QList<fixture::Frame> frames, int padding = 0) {
    fixture::Tag tag;
    tag.version = version;
    tag.frames = std::move(frames);
    tag.padding = padding;
    return tag;
}

qint64 HeaderSize(const QByteArray& file) {
    return DecodeSynchsafe(file.constData() + 6);
}

// Makes the n-th call of one operation fail.
class FailingOps : public RewriteFileOps {
public:
    enum Which { ReadOp, WriteOp, FlushOp, ExchangeOp, CopyOp };
    FailingOps(Which which, int failAt) : which(which), failAt(failAt) {}
    qint64 Read(int fd, char* b, qint64 n, qint64 off) override {
        return Fail(ReadOp) ? -1 : RewriteFileOps::Read(fd, b, n, off);
    }
    // Only a failing copy is made in the kernel: the reads and writes of
    // the others are what fails.
    qint64 Copy(int from, int to, qint64 n, qint64 off) override {
        if (which != CopyOp)
            return CannotCopy;
        if (Fail(CopyOp)) {
            // A copy that got part of the way.
            RewriteFileOps::Copy(from, to, n / 2, off);
            errno = EIO;
            return -1;
        }
        return RewriteFileOps::Copy(from, to, n, off);
    }
    bool Write(int fd, const char* b, qint64 n) override {
        if (Fail(WriteOp)) {
            // A write that got part of the way.
            return (void)RewriteFileOps::Write(fd, b, n / 2), false;
        }
        return RewriteFileOps::Write(fd, b, n);
    }
    bool Flush(int fd) override { return !Fail(FlushOp) && RewriteFileOps::Flush(fd); }
    int Exchange(int folder, const QByteArray& a, const QByteArray& b) override {
        return Fail(ExchangeOp) ? EIO : RewriteFileOps::Exchange(folder, a, b);
    }
    int calls = 0;

private:
    bool Fail(Which op) {
        if (op != which)
            return false;
        return ++calls == failAt;
    }
    Which which;
    int failAt;
};

// Runs `meanwhile` while the new file of a growing write is being built:
// when the write flushes it, right before it takes the original's place, or
// before the write's first read of the original's audio.
class MeanwhileOps : public RewriteFileOps {
public:
    explicit MeanwhileOps(std::function<void()> meanwhile, bool atFirstRead = false)
        : m_meanwhile(std::move(meanwhile)), m_atFirstRead(atFirstRead) {}
    qint64 Read(int fd, char* b, qint64 n, qint64 off) override {
        if (m_atFirstRead && m_meanwhile)
            std::exchange(m_meanwhile, {})();
        return RewriteFileOps::Read(fd, b, n, off);
    }
    qint64 Copy(int from, int to, qint64 n, qint64 off) override {
        if (m_atFirstRead && m_meanwhile)
            std::exchange(m_meanwhile, {})();
        return RewriteFileOps::Copy(from, to, n, off);
    }
    bool Flush(int fd) override {
        if (m_meanwhile)
            std::exchange(m_meanwhile, {})();
        return RewriteFileOps::Flush(fd);
    }

private:
    std::function<void()> m_meanwhile;
    bool m_atFirstRead;
};

} // namespace

class TestTagWriter : public QObject {
    Q_OBJECT
private slots:
    void init() { QVERIFY(dir.isValid()); }
    void inPlaceWhenItFits_data();
    void inPlaceWhenItFits();
    void changedSpanOnly_data();
    void changedSpanOnly();
    void growsAndMovesAudio_data();
    void growsAndMovesAudio();
    void growRemovesAbandonedTemps();
    void textEncodingChoice_data();
    void textEncodingChoice();
    void removesV1_data();
    void removesV1();
    void secondWriteChangesNothingMore();
    void untouchedFramesByteIdentical_data();
    void untouchedFramesByteIdentical();
    void refusals_data();
    void refusals();
    void growingWriteMeetsAnotherFile_data();
    void growingWriteMeetsAnotherFile();
    void keepsPermissions();
    void longNameAndLink();
    void pseudoFrameCountsInEstimate();
    void faultsLeaveOriginal_data();
    void faultsLeaveOriginal();
    void regionHelpers();

private:
    QTemporaryDir dir;
    int fileNo = 0;
    QString WriteBytes(const QByteArray& bytes) {
        const QString path = dir.filePath(QString("w%1.mp3").arg(++fileNo));
        if (!fixture::WriteFile(path, bytes))
            qFatal("cannot write fixture");
        return path;
    }
    QStringList TempLeftovers() {
        return QDir(dir.path()).entryList({"*.quorvel-*"}, QDir::Files | QDir::Hidden);
    }
};

void TestTagWriter::inPlaceWhenItFits_data() {
    QTest::addColumn<int>("tagSize");
    QTest::addColumn<int>("textLength"); // one frame; estimate 10 + 2 * length + 13
    QTest::newRow("4000 byte tag, small estimate") << 4000 << 5;
    QTest::newRow("estimate exactly the tag size") << 223 << 100;
}

void TestTagWriter::inPlaceWhenItFits() {
    QFETCH(int, tagSize);
    QFETCH(int, textLength);
    const fixture::Tag tag = MakeTag(3, {{"TIT2", TextBody(0, "Old")}}, tagSize - 14);
    const QByteArray original = fixture::BuildFile(&tag, 5);
    QCOMPARE(HeaderSize(original), tagSize);
    const QString path = WriteBytes(original);
    TagInfo info;
    QCOMPARE(info.Read(path), 0);
    info.Clear();
    info.SetFrameWide("TALB", QString(textLength, 'a'), -1);
    const TagInfo::Planned plan = info.PlanWrite(); // what an undo journal compares
    QCOMPARE(info.Write(plan), 0);
    const QByteArray after = fixture::ReadFile(path);
    QVERIFY(plan.inPlace);
    QCOMPARE(after.left(plan.bytes.size()), plan.bytes);
    QCOMPARE(after.size(), original.size());
    QCOMPARE(HeaderSize(after), tagSize);
    QCOMPARE(after.mid(10 + tagSize), original.mid(10 + tagSize));
    const QByteArray frame = "TALB" + EncodeBigEndian32(textLength + 1) + QByteArray(3, '\0') +
                             QByteArray(textLength, 'a');
    QCOMPARE(after.mid(10, frame.size()), frame);
    QCOMPARE(after.mid(10 + frame.size(), tagSize - frame.size()),
             QByteArray(tagSize - frame.size(), '\0'));
    QCOMPARE(info.tagSize, tagSize);
}

// An in-place plan cut down to the bytes that differ from the region the
// file holds leaves the file as the whole plan does; a plan that moves the
// audio is not cut.
void TestTagWriter::changedSpanOnly_data() {
    QTest::addColumn<int>("version");
    QTest::addColumn<bool>("titleFirst"); // else after TPE1 "Artist"
    QTest::addColumn<QString>("title");   // empty: nothing is set
    QTest::addColumn<int>("padding");
    QTest::addColumn<int>("offset"); // after the picture, if any
    QTest::addColumn<int>("span");
    QTest::addColumn<int>("picture"); // bytes of a picture in front, if any
    // header 10, TPE1 17, TIT2 "Old A" from 27: its size byte at 34, the
    // text at 38
    QTest::newRow("one letter of the title") << 3 << false << "Old B" << 200 << 42 << 1 << 0;
    QTest::newRow("behind a picture, before much padding")
        << 3 << false << "Old B" << 3000 << 42 << 1 << 5000;
    QTest::newRow("longer title") << 3 << false << "Older Title" << 200 << 34 << 15 << 0;
    QTest::newRow("nothing changes: the header") << 3 << false << "" << 200 << 0 << 10 << 0;
    QTest::newRow("version 2.4 written as 2.3") << 4 << false << "Old B" << 200 << 3 << 40 << 0;
    QTest::newRow("title moves behind TPE1") << 3 << true << "Old B" << 200 << 11 << 32 << 0;
    QTest::newRow("no room: the whole tag") << 3 << false << QString(300, 'x') << 0 << 0 << -1 << 0;
}

void TestTagWriter::changedSpanOnly() {
    QFETCH(int, version);
    QFETCH(bool, titleFirst);
    QFETCH(QString, title);
    QFETCH(int, padding);
    QFETCH(int, offset);
    QFETCH(int, span);
    QFETCH(int, picture);
    const fixture::Frame artist{"TPE1", TextBody(0, "Artist")};
    const fixture::Frame oldTitle{"TIT2", TextBody(0, "Old A")};
    QList<fixture::Frame> frames = titleFirst ? QList<fixture::Frame>{oldTitle, artist}
                                              : QList<fixture::Frame>{artist, oldTitle};
    if (picture > 0) {
        const fixture::Frame cover{
            "APIC", fixture::PictureBody(0, "image/png", 3, "", fixture::ImageData(picture))};
        frames.prepend(cover);
        if (offset > 0)
            offset += 10 + int(cover.body.size());
    }
    const fixture::Tag tag = MakeTag(version, frames, padding);
    const QByteArray original = fixture::BuildFile(&tag, 5);
    const QString cut = WriteBytes(original);
    const QString whole = WriteBytes(original);
    TagInfo cutInfo;
    TagInfo wholeInfo;
    QCOMPARE(cutInfo.Read(cut), 0);
    QCOMPARE(wholeInfo.Read(whole), 0);
    if (!title.isEmpty()) {
        cutInfo.SetFrameWide("TIT2", title, -1);
        wholeInfo.SetFrameWide("TIT2", title, -1);
    }
    TagInfo::Planned plan = cutInfo.PlanWrite();
    const QByteArray planned = plan.bytes;
    // Not cut against a region of another length.
    TagInfo::Planned otherRegion = plan;
    otherRegion.keepChangesFrom(QByteArrayView(original).first(cutInfo.regionSize - 1));
    QCOMPARE(otherRegion.bytes, planned);
    QCOMPARE(otherRegion.offset, 0);
    plan.keepChangesFrom(QByteArrayView(original).first(cutInfo.regionSize));
    QCOMPARE(plan.offset, offset);
    QCOMPARE(plan.bytes.size(), span < 0 ? planned.size() : span);
    QCOMPARE(plan.bytes, planned.mid(offset, plan.bytes.size()));
    QCOMPARE(cutInfo.Write(plan), 0);
    QCOMPARE(wholeInfo.Write(wholeInfo.PlanWrite()), 0);
    QCOMPARE(fixture::ReadFile(cut), fixture::ReadFile(whole));
    QCOMPARE(cutInfo.regionSize, wholeInfo.regionSize);
    TagInfo again;
    QCOMPARE(again.Read(cut), 0);
    QCOMPARE(again.FindFrame("TIT2", nullptr), title.isEmpty() ? QString("Old A") : title);
}

void TestTagWriter::growsAndMovesAudio_data() {
    QTest::addColumn<bool>("withTag");
    QTest::addColumn<int>("textLength");
    QTest::addColumn<int>("audioFrames");
    QTest::addColumn<int>("newSize");
    // estimate = 10 + 2 * length + 13
    QTest::newRow("no tag, estimate 301 gives 512") << false << 139 << 4 << 512;
    QTest::newRow("no tag, estimate 601 gives 701") << false << 289 << 4 << 701;
    QTest::newRow("small tag grows") << true << 300 << 4 << 723;
    QTest::newRow("length a multiple of 4096") << false << 5 << 0 << 512;
}

void TestTagWriter::growsAndMovesAudio() {
    QFETCH(bool, withTag);
    QFETCH(int, textLength);
    QFETCH(int, audioFrames);
    QFETCH(int, newSize);
    const fixture::Tag tag = MakeTag(3, {{"TIT2", TextBody(0, "x")}});
    QByteArray audio = fixture::SilentAudio(audioFrames);
    if (audioFrames == 0)
        audio = fixture::ImageData(3 * 4096);
    const QByteArray original = (withTag ? fixture::BuildTag(tag) : QByteArray()) + audio;
    const QString path = WriteBytes(original);
    TagInfo info;
    QVERIFY(info.Read(path) >= 0);
    info.Clear();
    info.SetFrameWide("TIT2", QString(textLength, 'z'), -1);
    const TagInfo::Planned plan = info.PlanWrite();
    QCOMPARE(info.Write(), 0); // the same plan, made again
    const QByteArray after = fixture::ReadFile(path);
    QVERIFY(!plan.inPlace);
    QCOMPARE(after.left(plan.bytes.size()), plan.bytes);
    QCOMPARE(HeaderSize(after), newSize);
    QCOMPARE(after.left(6), QByteArray("ID3\x03\x00\x00", 6));
    QCOMPARE(after.size(), 10 + newSize + audio.size());
    QCOMPARE(after.mid(10 + newSize), audio);
    QCOMPARE(info.tagSize, newSize);
    QVERIFY(info.hasV2);
    QVERIFY(TempLeftovers().isEmpty());
    TagInfo again;
    QCOMPARE(again.Read(path), 0);
    QCOMPARE(DescribeFrames(again), QStringList{"TIT2=" + QString(textLength, 'z')});
}

// A growing write killed before its rename leaves its temporary file; the
// first growing write of the next run in that folder removes it, but never
// one whose process still runs, one locked by its writer (a process of
// another PID namespace or computer, whose id says nothing here), nor a
// file that only looks similar by its name or holds what none of ours
// does. The folder is listed once per run: a file left meanwhile waits for
// the next.
void TestTagWriter::growRemovesAbandonedTemps() {
    NewRewriteTempSweep();
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    QVERIFY(child > 0);
    QCOMPARE(::waitpid(child, nullptr, 0), child);
    const QString abandoned = QString(".quorvel-%1-aB3dE6").arg(child);
    const QString running = QString(".quorvel-%1-gH7jK9").arg(::getpid());
    const QString lookalike = QString(".quorvel-%1-notes.txt").arg(child);
    const QString held = QString(".quorvel-%1-hL0ck5").arg(child);
    const QString users = QString(".quorvel-%1-backup").arg(child);
    const QByteArray ours = "ID3\3\0\0\0\0\0\0";
    for (const QString& name : {abandoned, running, lookalike, held})
        QVERIFY(fixture::WriteFile(dir.filePath(name), ours));
    QVERIFY(fixture::WriteFile(dir.filePath(users), "my notes"));
    QFile holder(dir.filePath(held)); // as its writer holds it
    QVERIFY(holder.open(QIODevice::ReadOnly));
    QCOMPARE(::flock(holder.handle(), LOCK_EX | LOCK_NB), 0);

    // The write's own temporary file is locked till it takes the name.
    class LockProbe : public RewriteFileOps {
    public:
        int locked = -1;
        int Exchange(int folder, const QByteArray& temp, const QByteArray& name) override {
            const int fd = ::openat(folder, temp.constData(), O_RDONLY | O_CLOEXEC);
            locked = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
            ::close(fd);
            return RewriteFileOps::Exchange(folder, temp, name);
        }
    } probe;
    const QString path = WriteBytes(fixture::SilentAudio(4));
    TagInfo info;
    QVERIFY(info.Read(path) >= 0);
    info.SetFrameWide("TIT2", QString(400, 'z'), -1);
    SetRewriteFileOps(&probe);
    QCOMPARE(info.Write(), 0);
    SetRewriteFileOps(nullptr);
    QCOMPARE(probe.locked, 1);
    QStringList kept{running, lookalike, held, users};
    QStringList left = TempLeftovers();
    kept.sort();
    left.sort();
    QCOMPARE(left, kept);
    holder.close();
    for (const QString& name : {held, users})
        QVERIFY(QFile::remove(dir.filePath(name)));

    QVERIFY(fixture::WriteFile(dir.filePath(abandoned), ours));
    for (const bool newRun : {false, true}) {
        if (newRun)
            NewRewriteTempSweep();
        TagInfo next;
        QVERIFY(next.Read(WriteBytes(fixture::SilentAudio(4))) >= 0);
        next.SetFrameWide("TIT2", QString(400, 'y'), -1);
        QCOMPARE(next.Write(), 0);
        QCOMPARE(TempLeftovers().contains(abandoned), !newRun);
    }
    for (const QString& name : {running, lookalike})
        QVERIFY(QFile::remove(dir.filePath(name)));
}

void TestTagWriter::textEncodingChoice_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("ascii") << "Abc"
                           << QByteArray("\x00"
                                         "Abc",
                                         4);
    QTest::newRow("latin-1 accents") << QString::fromUtf8("Éÿ") << QByteArray("\x00\xC9\xFF", 3);
    QTest::newRow("omega") << QString::fromUtf8("aΩ")
                           << QByteArray("\x01\xFF\xFE"
                                         "a\x00\xA9\x03",
                                         7);
    QTest::newRow("zero inside kept") << QString("a") + QChar(0) + "b"
                                      << QByteArray("\x00"
                                                    "a\x00"
                                                    "b",
                                                    4);
}

void TestTagWriter::textEncodingChoice() {
    QFETCH(QString, text);
    QFETCH(QByteArray, body);
    const QString path = WriteBytes(fixture::SilentAudio(2));
    TagInfo info;
    QCOMPARE(info.Read(path), 1);
    info.SetFrameWide("TIT2", text, static_cast<int>(text.size()));
    QCOMPARE(info.Write(), 0);
    const QByteArray after = fixture::ReadFile(path);
    // The pseudo-frame is not written: TIT2 is the first frame.
    QCOMPARE(after.mid(10, 10),
             "TIT2" + EncodeBigEndian32(quint32(body.size())) + QByteArray(2, '\0'));
    QCOMPARE(after.mid(20, body.size()), body);
    QCOMPARE(after.at(20 + body.size()), '\0');
}

void TestTagWriter::removesV1_data() {
    QTest::addColumn<bool>("withV1");
    QTest::addColumn<bool>("fits");
    QTest::newRow("block removed in place") << true << true;
    QTest::newRow("block removed while moving") << true << false;
    QTest::newRow("no block, length kept") << false << true;
}

void TestTagWriter::removesV1() {
    QFETCH(bool, withV1);
    QFETCH(bool, fits);
    const fixture::Tag tag = MakeTag(3, {{"TIT2", TextBody(0, "t")}}, fits ? 2000 : 0);
    const fixture::V1 v1{"T", "A", "B", "2000", "c", 1, 2};
    const QByteArray original = fixture::BuildFile(&tag, 3, withV1 ? &v1 : nullptr);
    const QString path = WriteBytes(original);
    TagInfo info;
    QCOMPARE(info.Read(path), 0);
    info.removeV1 = true;
    QCOMPARE(info.Write(), 0);
    const QByteArray after = fixture::ReadFile(path);
    const qint64 grown = fits ? 0 : HeaderSize(after) - HeaderSize(original);
    QCOMPARE(after.size(), original.size() + grown - (withV1 ? 128 : 0));
    QVERIFY(!after.endsWith(fixture::BuildV1(v1)));
    QVERIFY(after.endsWith(fixture::SilentAudio(3)));
    QVERIFY(!info.hasV1);
}

void TestTagWriter::secondWriteChangesNothingMore() {
    const fixture::V1 v1{"T", "A", "B", "2000", "note", 1, 2};
    const QString path = WriteBytes(fixture::BuildFile(nullptr, 3, &v1));
    TagInfo info;
    QCOMPARE(info.Read(path), 1);
    info.removeV1 = true;
    QCOMPARE(info.Write(), 0);
    const QByteArray first = fixture::ReadFile(path);
    QCOMPARE(info.Write(), 0);
    QCOMPARE(fixture::ReadFile(path), first);
    // The ID3v1 comment becomes a COMM frame: "eng", a 0 byte, the comment.
    TagInfo back;
    QCOMPARE(back.Read(path), 0);
    QCOMPARE(back.FindFrame("COMM")->raw, QByteArray("\0eng\0note", 9));
}

void TestTagWriter::untouchedFramesByteIdentical_data() {
    QTest::addColumn<int>("version");
    QTest::addColumn<bool>("grow");
    QTest::newRow("v2.3 in place") << 3 << false;
    QTest::newRow("v2.3 moved") << 3 << true;
    QTest::newRow("v2.4 moved") << 4 << true;
}

void TestTagWriter::untouchedFramesByteIdentical() {
    QFETCH(int, version);
    QFETCH(bool, grow);
    const QList<fixture::Frame> kept{
        {"APIC", fixture::PictureBody(0, "image/jpeg", 3, "", fixture::ImageData(5000))},
        {"COMM", fixture::CommentBody(1, "eng", "", QString::fromUtf8("ßig"))},
        {"USLT", fixture::CommentBody(0, "eng", "", "la la")},
        {"TXXX", fixture::UserTextBody(0, "KEY", "v")},
        {"PRIV", QByteArray("me\0\xFF\x00\x01", 6)},
        {"POPM", QByteArray("a@b\0\x80\x00\x00\x00\x05", 9)},
        {"ZZZZ", QByteArray("\x07unknown", 8)},
        {"TPE3", TextBody(1, "Cond")}};
    QList<fixture::Frame> frames = kept;
    frames.prepend({"TIT2", TextBody(0, "Before")});
    // Compressed and encrypted frames, managed ids among them: kept as their
    // bytes in the version 3 layout (a 2.4 size under 128 reads the same).
    const QByteArray album = TextBody(1, QString::fromUtf8("Zipped Albüm"));
    const fixture::Frame encrypted{"TCON", QByteArray("\x81\x00\x13secret", 9)};
    frames.append(fixture::CompressedFrame(version, "TALB", album));
    frames.append({encrypted.id, encrypted.body, quint16(version == 4 ? 0x0004 : 0x0040)});
    QList<fixture::Frame> expected = kept;
    expected.append(fixture::CompressedFrame(3, "TALB", album));
    expected.append({encrypted.id, encrypted.body, 0x0040});
    // Several version 2.4 values become one text as version 3 writes them.
    frames.append({"TPE2", fixture::TextValuesBody(0, {"Ann", "Bob"})});
    expected.append({"TPE2", version == 4 ? TextBody(0, "Ann/Bob") : frames.last().body});
    // Version 3 holds the people lists of TIPL and TMCL in one IPLS frame.
    const QStringList roles{"producer", "Bob"}, players{"oboe", QString::fromUtf8("Çarla")};
    if (version == 4)
        frames << fixture::Frame{"TIPL", fixture::TextValuesBody(3, roles)}
               << fixture::Frame{"TMCL", fixture::TextValuesBody(1, players)};
    else
        frames.append({"IPLS", fixture::TextValuesBody(1, roles + players)});
    expected.append({"IPLS", version == 4
                                 ? fixture::TextValuesBody(0, roles + players + QStringList{""})
                                 : frames.last().body});
    // A chapter's own frames get version 3 headers and encodings; a 2.4
    // synchsafe size over 127 would read as another number. One that
    // cannot be read leaves its chapter as it was.
    const auto chapter = [](const QByteArray& fields, int v, int encoding) {
        const fixture::Tag own = MakeTag(
            v, {{"TIT2", TextBody(encoding, QString(213, 'c')), quint16(v == 4 ? 0x4000 : 0x8000)},
                {"TIT3", TextBody(encoding, QString::fromUtf8("Ünder"))}});
        return fields + fixture::BuildTag(own).mid(10);
    };
    const QByteArray ch1 = QByteArray("ch1", 4) + EncodeBigEndian32(0) + EncodeBigEndian32(90000) +
                           QByteArray(8, '\xFF');
    const QByteArray toc = QByteArray("toc", 4) + "\x03\x01" + QByteArray("ch1", 4);
    frames << fixture::Frame{"CHAP", chapter(ch1, version, 3)}
           << fixture::Frame{"CTOC", chapter(toc, version, 3)}
           << fixture::Frame{"CHAP", ch1 + QByteArray("TIT2\0\0\0\x7F\0\0x", 11)};
    expected << fixture::Frame{"CHAP", chapter(ch1, 3, version == 4 ? 0 : 3)}
             << fixture::Frame{"CTOC", chapter(toc, 3, version == 4 ? 0 : 3)} << frames.last();
    const fixture::Tag tag = MakeTag(version, frames, grow ? 0 : 4000);
    const QByteArray audio = fixture::SilentAudio(6);
    const QString path = WriteBytes(fixture::BuildTag(tag) + audio);
    TagInfo info;
    QCOMPARE(info.Read(path), 0);
    info.SetFrameWide("TIT2", QString::fromUtf8("Afterwards Ω"), -1);
    QCOMPARE(info.Write(), 0);
    const QByteArray after = fixture::ReadFile(path);
    QVERIFY(after.endsWith(audio));
    fixture::Tag v3 = MakeTag(3, expected);
    const QByteArray expectedFrames = fixture::BuildTag(v3).mid(10);
    QCOMPARE(after.mid(10, expectedFrames.size()), expectedFrames);
}

void TestTagWriter::refusals_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("problem");
    const int failed = int(WriteProblem::Failed), changed = int(WriteProblem::ChangedSinceRead);
    QTest::newRow("no read first") << "noread" << failed;
    QTest::newRow("refused tag") << "refused" << failed;
    QTest::newRow("file changed since the read") << "changed" << changed;
    QTest::newRow("file gone") << "gone" << changed;
    // Only the identity tells these from the file read: the header and
    // the length are the same.
    QTest::newRow("audio edited in place, same length") << "edited" << changed;
    QTest::newRow("edited in place, its time put back") << "edited, time kept" << changed;
    QTest::newRow("replaced by an identical copy") << "replaced" << changed;
    // Plans no PlanWrite gives: nothing is written.
    QTest::newRow("cut plan reaching past the region") << "past the region" << failed;
    QTest::newRow("plan that moves the audio, with an offset") << "moving, offset" << failed;
}

void TestTagWriter::refusals() {
    QFETCH(QString, kind);
    QFETCH(int, problem);
    // Room for the new frames: the write would not move the audio.
    fixture::Tag tag = MakeTag(3, {{"TIT2", TextBody(0, "a")}}, 2000);
    if (kind == "refused")
        tag.extraFlags = 0x20;
    const QByteArray original = fixture::BuildFile(&tag, 2);
    const QString path = WriteBytes(original);
    TagInfo info;
    DiagnosticCapture capture;
    if (kind != "noread")
        info.Read(path);
    if (kind == "changed")
        QVERIFY(fixture::WriteFile(path, fixture::SilentAudio(2)));
    if (kind == "gone")
        QVERIFY(QFile::remove(path));
    QByteArray expected = original;
    if (kind.startsWith("edited")) {
        expected[expected.size() - 5] = 'e';
        QVERIFY(fixture::EditInPlace(path, expected, kind.endsWith("time kept")));
    }
    if (kind == "replaced") {
        QVERIFY(fixture::WriteFile(path + ".copy", original));
        QVERIFY(::rename(QFile::encodeName(path + ".copy"), QFile::encodeName(path)) == 0);
    }
    info.SetFrameWide("TALB", QString("x"), -1);
    TagInfo::Planned plan = info.PlanWrite();
    if (kind == "past the region") {
        plan.keepChangesFrom(QByteArrayView(original).first(info.regionSize));
        plan.offset = info.regionSize - plan.bytes.size() + 1;
    }
    if (kind == "moving, offset") {
        plan.inPlace = false;
        plan.offset = 10;
    }
    QCOMPARE(info.Write(plan), -1);
    QCOMPARE(int(info.writeProblem), problem);
    if (kind == "past the region" || kind == "moving, offset")
        QCOMPARE(fixture::ReadFile(path), original);
    if (kind.startsWith("edited") || kind == "replaced")
        QCOMPARE(fixture::ReadFile(path), expected);
    if (kind == "noread")
        QCOMPARE(capture.text(), QByteArray("Use read first\n"));
    if (kind == "refused")
        QCOMPARE(fixture::ReadFile(path), original);
    if (kind == "changed")
        QCOMPARE(fixture::ReadFile(path), fixture::SilentAudio(2));
    if (kind == "gone")
        QVERIFY(!QFile::exists(path));
}

// A growing write takes the original's place only if the path still names
// the original as read: a file put there meanwhile (a sync client, another
// tagger, a second run) and an edit of the original both survive it.
void TestTagWriter::growingWriteMeetsAnotherFile_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("another file renamed over the path") << "replace";
    QTest::newRow("the original edited") << "edit";
    QTest::newRow("the original edited, its time put back") << "edit, time kept";
    // Its audio ends early: a changed file, not a failed write.
    QTest::newRow("the original cut short while it is copied") << "cut";
}

void TestTagWriter::growingWriteMeetsAnotherFile() {
    QFETCH(QString, how);
    const fixture::Tag tag = MakeTag(3, {{"TIT2", TextBody(0, "orig")}});
    const QByteArray original = fixture::BuildFile(&tag, 40);
    const QString path = WriteBytes(original);
    TagInfo info;
    QCOMPARE(info.Read(path), 0);
    info.SetFrameWide("TIT2", QString(700, 'n'), -1);
    QByteArray theirs = original;
    theirs[theirs.size() - 3] = 't';
    if (how == "cut")
        theirs = original.left(100);
    MeanwhileOps ops(
        [&] {
            if (how == "cut") {
                QVERIFY(QFile::resize(path, theirs.size()));
            } else if (how == "replace") {
                QVERIFY(fixture::WriteFile(path + ".theirs", theirs));
                QVERIFY(::rename(QFile::encodeName(path + ".theirs"), QFile::encodeName(path)) ==
                        0);
            } else {
                QVERIFY(fixture::EditInPlace(path, theirs, how.endsWith("time kept")));
            }
        },
        how == "cut");
    SetRewriteFileOps(&ops);
    const int result = info.Write();
    SetRewriteFileOps(nullptr);
    QCOMPARE(result, -1);
    QCOMPARE(int(info.writeProblem), int(WriteProblem::ChangedSinceRead));
    QCOMPARE(fixture::ReadFile(path), theirs);
    QVERIFY(TempLeftovers().isEmpty());
}

void TestTagWriter::keepsPermissions() {
    const QString path = WriteBytes(fixture::SilentAudio(2));
    const auto perms = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup;
    QVERIFY(QFile::setPermissions(path, perms));
    // A desktop's rating beside the content, where the file system keeps one.
    const QByteArray name = QFile::encodeName(path);
    const bool attributes = ::setxattr(name.constData(), "user.rating", "5", 1, 0) == 0;
    // Another owner and group (root may give them), and another user's
    // access through the access list (where the file system keeps one).
    const bool root = ::geteuid() == 0;
    if (root)
        QCOMPARE(::chown(name.constData(), 65534, 65534), 0);
    const bool listed = fixture::GrantUserAccess(path, 1);
    const QByteArray acl = fixture::AccessList(path);
    struct stat before;
    QCOMPARE(::stat(name.constData(), &before), 0);
    TagInfo info;
    QCOMPARE(info.Read(path), 1);
    info.SetFrameWide("TIT2", QString("p"), -1);
    QCOMPARE(info.Write(), 0);
    struct stat after;
    QCOMPARE(::stat(name.constData(), &after), 0);
    QVERIFY(after.st_ino != before.st_ino); // a new file took its place
    QCOMPARE(after.st_mode, before.st_mode);
    QCOMPARE(after.st_uid, before.st_uid);
    QCOMPARE(after.st_gid, before.st_gid);
    if (listed)
        QCOMPARE(fixture::AccessList(path), acl);
    const auto ownerGroupOther = QFileDevice::Permissions(0x7077);
    if (!listed) // the list's mask stands for the group's bits
        QCOMPARE(QFile::permissions(path) & ownerGroupOther, perms & ownerGroupOther);
    if (attributes) {
        char value[8] = {};
        QCOMPARE(::getxattr(name.constData(), "user.rating", value, sizeof value), ssize_t(1));
        QCOMPARE(value[0], '5');
    } else {
        qInfo("no user extended attributes on this file system: not checked");
    }
    if (::geteuid() != 0) {
        QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner));
        const QByteArray before = fixture::ReadFile(path);
        QCOMPARE(info.Read(path), 0);
        info.SetFrameWide("TIT2", QString(600, 'q'), -1);
        QCOMPARE(info.Write(), -1);
        QCOMPARE(fixture::ReadFile(path), before);
    }
}

// A name at the file system's length limit, reached through a symbolic link:
// the file itself is replaced and the link stays a link.
void TestTagWriter::longNameAndLink() {
    const QString path = dir.filePath(QString(251, 'n') + ".mp3");
    QVERIFY(fixture::WriteFile(path, fixture::SilentAudio(2)));
    const QString link = dir.filePath("link.mp3");
    QVERIFY(QFile::link(path, link));
    TagInfo info;
    QCOMPARE(info.Read(link), 1);
    info.SetFrameWide("TIT2", QString("long"), -1);
    QCOMPARE(info.Write(), 0);
    QVERIFY(QFileInfo(link).isSymLink());
    TagInfo back;
    QCOMPARE(back.Read(path), 0);
    QCOMPARE(back.FindFrame("TIT2", nullptr), QString("long"));
    QVERIFY(TempLeftovers().isEmpty());
}

// The file-name pseudo-frame is never written but counts in the estimate:
// 10 + (2 x length + 13) for each frame with text, the path included.
void TestTagWriter::pseudoFrameCountsInEstimate() {
    const QString path = dir.filePath(QString(240, 'e') + ".mp3");
    QVERIFY(fixture::WriteFile(path, fixture::SilentAudio(2)));
    TagInfo info;
    QCOMPARE(info.Read(path), 1);
    info.SetFrameWide("TIT2", QString("t"), -1);
    QCOMPARE(info.Write(), 0);
    const qint64 needed = 10 + (2 * path.size() + 13) + (2 * 1 + 13);
    QVERIFY(needed + 100 > 512);
    const QByteArray after = fixture::ReadFile(path);
    QCOMPARE(HeaderSize(after), needed + 100);
    QCOMPARE(after.mid(10, 4), QByteArray("TIT2"));
    QVERIFY(!after.contains(QFile::encodeName(path)));
}

void TestTagWriter::faultsLeaveOriginal_data() {
    QTest::addColumn<int>("which");
    QTest::addColumn<int>("failAt");
    QTest::newRow("first read") << int(FailingOps::ReadOp) << 1;
    QTest::newRow("later read") << int(FailingOps::ReadOp) << 3;
    QTest::newRow("tag write") << int(FailingOps::WriteOp) << 1;
    QTest::newRow("audio write") << int(FailingOps::WriteOp) << 2;
    QTest::newRow("last audio write") << int(FailingOps::WriteOp) << 5;
    QTest::newRow("flush") << int(FailingOps::FlushOp) << 1;
    QTest::newRow("exchange") << int(FailingOps::ExchangeOp) << 1;
    QTest::newRow("audio copied in the kernel") << int(FailingOps::CopyOp) << 1;
}

void TestTagWriter::faultsLeaveOriginal() {
    QFETCH(int, which);
    QFETCH(int, failAt);
    const fixture::Tag tag = MakeTag(3, {{"TIT2", TextBody(0, "orig")}});
    const fixture::V1 v1{"T", "A", "B", "2000", "c", 1, 2};
    // About 250 KB of audio: four copy blocks of 64 KiB.
    const QByteArray original = fixture::BuildFile(&tag, 600, &v1);
    const QString path = WriteBytes(original);
    TagInfo info;
    QCOMPARE(info.Read(path), 0);
    info.removeV1 = true;
    info.SetFrameWide("TIT2", QString(700, 'n'), -1);
    FailingOps ops(static_cast<FailingOps::Which>(which), failAt);
    SetRewriteFileOps(&ops);
    const int result = info.Write();
    SetRewriteFileOps(nullptr);
    QVERIFY(ops.calls >= failAt); // the fault was reached
    QCOMPARE(result, -1);
    QCOMPARE(fixture::ReadFile(path), original);
    QVERIFY(TempLeftovers().isEmpty());
    QVERIFY(info.hasV1);
    // The record still describes the file: a later write succeeds.
    QCOMPARE(info.Write(), 0);
    TagInfo back;
    QCOMPARE(back.Read(path), 0);
    QCOMPARE(back.FindFrame("TIT2", nullptr), QString(700, 'n'));
    QVERIFY(!back.hasV1);
}

void TestTagWriter::regionHelpers() {
    fixture::Tag tag = MakeTag(4, {{"TIT2", TextBody(0, "r")}}, 50);
    tag.footer = true;
    const fixture::V1 v1{"T", "A", "B", "2000", "c", 1, 2};
    const QByteArray bytes = fixture::BuildFile(&tag, 2, &v1);
    const QString path = WriteBytes(bytes);
    QCOMPARE(Id3v2RegionSize(path), fixture::BuildTag(tag).size());
    QVERIFY(HasId3v1(path));
    const QString plain = WriteBytes(fixture::SilentAudio(1));
    QCOMPARE(Id3v2RegionSize(plain), 0);
    QVERIFY(!HasId3v1(plain));
    QCOMPARE(Id3v2RegionSize(dir.filePath("missing")), 0);
    QVERIFY(!HasId3v1(dir.filePath("missing")));
}

QTEST_GUILESS_MAIN(TestTagWriter)
#include "test_tag_writer.moc"
