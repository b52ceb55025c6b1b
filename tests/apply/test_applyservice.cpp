#include "apply/applyservice.h"
#include "apply/journal.h"
#include "apply/preflight.h"
#include "apply/undo.h"
#include "fixtures.h"
#include "immutablefile.h"
#include "tags/rewritefileops.h"
#include "tags/selectionread.h"
#include "tags/taginfo.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

// Apply on real MP3 files, one file per row. Paths in the table are relative
// to a temporary folder; "@" stands for that folder.
namespace {

// id -> text up to its first 0 for text frames, "+" for a present comment
// or user text frame, "-" for an absent frame.
using FrameTexts = QMap<QString, QString>;

const QByteArray Audio = fixture::SilentAudio(8);

fixture::V1 v1Block() {
    fixture::V1 v1;
    v1.comment = "old comment";
    v1.track = 4;
    v1.genre = 17;
    return v1;
}

// TPE1 "Old Artist", TIT2 "Old Title", a comment and a user text frame,
// then a picture of cover bytes when cover is not 0.
QByteArray songBytes(bool withV1, int padding = 64, int cover = 0) {
    fixture::Tag tag;
    tag.frames = {{"TPE1", fixture::TextBody(0, "Old Artist")},
                  {"TIT2", fixture::TextBody(0, "Old Title")},
                  {"COMM", fixture::CommentBody(0, "eng", "", "a comment")},
                  {"TXXX", fixture::UserTextBody(0, "mood", "calm")}};
    if (cover > 0)
        tag.frames.append(
            {"APIC", fixture::PictureBody(0, "image/png", 3, "", fixture::ImageData(cover))});
    tag.padding = padding;
    const fixture::V1 v1 = v1Block();
    return fixture::BuildFile(&tag, 8, withV1 ? &v1 : nullptr);
}

FrameTexts framesOf(const QString& path) {
    TagInfo tag;
    tag.Read(path);
    FrameTexts texts;
    for (const char* id : {"TPE1", "TPE2", "TIT2", "TALB", "TYER", "COMM", "TXXX"}) {
        const FrameInfo* f = tag.FindFrame(id);
        if (!f)
            texts[id] = QStringLiteral("-");
        else if (id[0] == 'T' && id[1] != 'X')
            texts[id] = f->text.section(QChar(0), 0, 0);
        else
            texts[id] = QStringLiteral("+");
    }
    return texts;
}

FieldValues outputs(const QString& location, const QString& filename, const QString& artist,
                    const QString& title) {
    FieldValues v;
    v[FieldLocation] = location;
    v[FieldFilename] = filename;
    v[FieldArtist] = artist;
    v[FieldTitle] = title;
    v[FieldAlbum] = QStringLiteral("New Album");
    return v;
}

// A kernel that copies nothing between files: the bytes go through a buffer.
class NoKernelCopy : public RewriteFileOps {
public:
    qint64 Copy(int, int, qint64, qint64) override { return CannotCopy; }
};

} // namespace

class TestApplyService : public QObject {
    Q_OBJECT
private slots:
    void init() { QDir(JournalFolder()).removeRecursively(); }

    void apply_data() {
        QTest::addColumn<QString>("file");     // created in @/music
        QTest::addColumn<QString>("occupied"); // a file made beforehand, or ""
        QTest::addColumn<QString>("location");
        QTest::addColumn<QString>("filename");
        QTest::addColumn<QString>("title");
        QTest::addColumn<bool>("clearOtherV2");
        QTest::addColumn<QString>("finalPath"); // where the file ends up
        QTest::addColumn<bool>("moved");
        QTest::addColumn<bool>("folderCreated");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<FrameTexts>("frames");

        const FrameTexts kept{{"TPE1", "New Artist"}, {"TPE2", "New Artist"}, {"TIT2", "New Title"},
                              {"TALB", "New Album"},  {"TYER", "-"},          {"COMM", "+"},
                              {"TXXX", "+"}};
        FrameTexts oldTitle = kept;
        oldTitle["TIT2"] = "Old Title";
        FrameTexts cleared = kept;
        cleared["COMM"] = cleared["TXXX"] = "-";
        FrameTexts clearedNoTitle = cleared;
        clearedNoTitle["TIT2"] = "-";
        // Refused before the first byte: the file keeps its frames.
        const FrameTexts untouched{{"TPE1", "Old Artist"}, {"TPE2", "-"}, {"TIT2", "Old Title"},
                                   {"TALB", "-"},          {"TYER", "-"}, {"COMM", "+"},
                                   {"TXXX", "+"}};

        QTest::newRow("own path") << "song.mp3"
                                  << ""
                                  << "@/music"
                                  << "song"
                                  << "New Title" << false << "@/music/song.mp3" << true << false
                                  << QStringList{} << kept;
        QTest::newRow("upper-case extension")
            << "Song.MP3"
            << ""
            << "@/music"
            << "Song"
            << "New Title" << false << "@/music/Song.mp3" << true << false << QStringList{} << kept;
        QTest::newRow("other extension")
            << "x.wav"
            << ""
            << "@/music"
            << "x"
            << "New Title" << false << "@/music/x.mp3" << true << false << QStringList{} << kept;
        QTest::newRow("empty title keeps the frame")
            << "song.mp3"
            << ""
            << "@/music"
            << "song"
            << "" << false << "@/music/song.mp3" << true << false << QStringList{} << oldTitle;
        QTest::newRow("clear other frames") << "song.mp3"
                                            << ""
                                            << "@/music"
                                            << "song"
                                            << "New Title" << true << "@/music/song.mp3" << true
                                            << false << QStringList{} << cleared;
        QTest::newRow("clear other frames, empty title")
            << "song.mp3"
            << ""
            << "@/music"
            << "song"
            << "" << true << "@/music/song.mp3" << true << false << QStringList{} << clearedNoTitle;
        QTest::newRow("two missing levels")
            << "song.mp3"
            << ""
            << "@/music/New Artist/New Album"
            << "01 New Title"
            << "New Title" << false << "@/music/New Artist/New Album/01 New Title.mp3" << true
            << true << QStringList{} << kept;
        QTest::newRow("location names a file")
            << "song.mp3"
            << "@/music/plain"
            << "@/music/plain"
            << "song"
            << "New Title" << false << "@/music/song.mp3" << false << false
            << QStringList{"Cannot create folder"} << untouched;
        QTest::newRow("empty location")
            << "song.mp3"
            << ""
            << ""
            << "song"
            << "New Title" << false << "@/music/song.mp3" << false << false
            << QStringList{"Cannot create folder"} << untouched;
        QTest::newRow("target exists")
            << "song.mp3"
            << "@/music/taken.mp3"
            << "@/music"
            << "taken"
            << "New Title" << false << "@/music/song.mp3" << false << false
            << QStringList{"Cannot move file as @/music/taken.mp3. Error 17"} << untouched;
        QTest::newRow("empty file name")
            << "song.mp3"
            << ""
            << "@/music"
            << ""
            << "New Title" << false << "@/music/song.mp3" << false << false
            << QStringList{"Not applied to @/music/song.mp3: the new file name is empty"}
            << untouched;
        QTest::newRow("file name only dots")
            << "song.mp3"
            << ""
            << "@/music"
            << ".."
            << "New Title" << false << "@/music/song.mp3" << false << false
            << QStringList{"Not applied to @/music/song.mp3: the new file name is only dots"}
            << untouched;
        const QString longName(252, 'n'); // 256 bytes with ".mp3"
        QTest::newRow("name over 255 bytes")
            << "song.mp3"
            << ""
            << "@/music" << longName << "New Title" << false << "@/music/song.mp3" << false << false
            << QStringList{"Not applied to @/music/song.mp3: the name \"" + longName +
                           ".mp3\" is longer than 255 bytes"}
            << untouched;
        QTest::newRow("folder level over 255 bytes")
            << "song.mp3"
            << ""
            << "@/music/" + QString(128, QChar(0xE9)) << "song"
            << "New Title" << false << "@/music/song.mp3" << false << false
            << QStringList{"Not applied to @/music/song.mp3: the name \"" +
                           QString(128, QChar(0xE9)) + "\" is longer than 255 bytes"}
            << untouched;
    }
    void apply() {
        QFETCH(QString, file);
        QFETCH(QString, occupied);
        QFETCH(QString, location);
        QFETCH(QString, filename);
        QFETCH(QString, title);
        QFETCH(bool, clearOtherV2);
        QFETCH(QString, finalPath);
        QFETCH(bool, moved);
        QFETCH(bool, folderCreated);
        QFETCH(QStringList, messages);
        QFETCH(FrameTexts, frames);
        QTemporaryDir dir;
        const QString root = dir.path();
        for (QString* s : {&occupied, &location, &finalPath})
            s->replace('@', root);
        messages.replaceInStrings("@", root);
        QVERIFY(QDir(root).mkdir("music"));
        const QString path = root + "/music/" + file;
        QVERIFY(fixture::WriteFile(path, songBytes(false)));
        if (!occupied.isEmpty())
            QVERIFY(fixture::WriteFile(occupied, "someone else's"));

        TagInfo tag;
        QVERIFY(ReadSelection(tag, path).ok);
        const ApplyResult r =
            ApplyFile(tag, outputs(location, filename, "New Artist", title), {clearOtherV2, false});

        QCOMPARE(r.messages, messages);
        // Every failure of this table is known before anything is written.
        QCOMPARE(r.tagsWritten, messages.isEmpty());
        QCOMPARE(r.moved, moved);
        QCOMPARE(r.ok, moved);
        QCOMPARE(r.folderCreated, folderCreated);
        QCOMPARE(r.target, location + '/' + filename + ".mp3");
        QVERIFY2(QFileInfo::exists(finalPath), qPrintable(finalPath));
        if (finalPath != path)
            QVERIFY(!QFileInfo::exists(path));
        QCOMPARE(framesOf(finalPath), frames);
        QVERIFY(fixture::ReadFile(finalPath).endsWith(Audio));
        if (!occupied.isEmpty())
            QCOMPARE(fixture::ReadFile(occupied), QByteArray("someone else's"));
    }

    // The Artist goes into TPE2 unless the file has an album artist of its
    // own: a compilation's "Various Artists" stays, with or without a clear.
    void albumArtist_data() {
        QTest::addColumn<QString>("tpe1"); // "" for none
        QTest::addColumn<QString>("tpe2");
        QTest::addColumn<bool>("clearOtherV2");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QByteArray>("v1Artist"); // "" for no ID3v1 block
        QTest::newRow("no album artist") << "Old"
                                         << "" << false << "New Artist" << QByteArray();
        QTest::newRow("album artist is the artist")
            << "Old"
            << "Old" << false << "New Artist" << QByteArray();
        QTest::newRow("compilationAlbumArtist")
            << "Old"
            << "Various Artists" << false << "Various Artists" << QByteArray();
        QTest::newRow("compilation, other frames cleared")
            << "Old"
            << "Various Artists" << true << "Various Artists" << QByteArray();
        QTest::newRow("artist only in TPE2") << ""
                                             << "Band" << false << "New Artist" << QByteArray();
        // The ID3v1 artist fills TPE2 when the ID3v2 tag has none.
        QTest::newRow("ID3v1 artist cut to 30 bytes is no album artist")
            << "The Extremely Long Artist Name Orchestra"
            << "" << false << "New Artist" << QByteArray("The Extremely Long Artist Name");
        QTest::newRow("ID3v1 artist in UTF-8 read as Latin-1, other frames cleared")
            << QString::fromUtf8("Мумий Тролль") << "" << true << "New Artist"
            << QString::fromUtf8("Мумий Тролль").toUtf8();
        QTest::newRow("album artist of the ID3v2 tag beside an ID3v1 block")
            << "Old"
            << "Various Artists" << false << "Various Artists" << QByteArray("Old");
    }
    void albumArtist() {
        QFETCH(QString, tpe1);
        QFETCH(QString, tpe2);
        QFETCH(bool, clearOtherV2);
        QFETCH(QString, expected);
        QFETCH(QByteArray, v1Artist);
        QTemporaryDir dir;
        const QString path = dir.filePath("song.mp3");
        fixture::Tag tag;
        if (!tpe1.isEmpty())
            tag.frames << fixture::Frame{"TPE1", fixture::TextBody(1, tpe1)};
        if (!tpe2.isEmpty())
            tag.frames << fixture::Frame{"TPE2", fixture::TextBody(1, tpe2)};
        fixture::V1 v1;
        v1.artist = v1Artist;
        QVERIFY(fixture::WriteFile(
            path, fixture::BuildFile(&tag, 4, v1Artist.isEmpty() ? nullptr : &v1)));
        TagInfo info;
        QVERIFY(ReadSelection(info, path).ok);
        QVERIFY(
            ApplyFile(info, outputs(dir.path(), "song", "New Artist", "T"), {clearOtherV2, false})
                .ok);
        QCOMPARE(framesOf(path)["TPE1"], QStringLiteral("New Artist"));
        QCOMPARE(framesOf(path)["TPE2"], expected);
    }

    // The ID3v1 block goes only when asked for, and is never rewritten.
    void idv1Block_data() {
        QTest::addColumn<bool>("clearV1");
        QTest::newRow("kept") << false;
        QTest::newRow("removed") << true;
    }
    void idv1Block() {
        QFETCH(bool, clearV1);
        QTemporaryDir dir;
        const QString path = dir.filePath("song.mp3");
        QVERIFY(fixture::WriteFile(path, songBytes(true)));
        const QByteArray v1 = fixture::BuildV1(v1Block());
        TagInfo tag;
        QVERIFY(ReadSelection(tag, path).ok);
        const ApplyResult r =
            ApplyFile(tag, outputs(dir.path(), "song", "Someone Else", "T"), {false, clearV1});
        QVERIFY(r.ok);
        const QByteArray after = fixture::ReadFile(path);
        QCOMPARE(after.endsWith(Audio + v1), !clearV1);
        QVERIFY(after.endsWith(clearV1 ? Audio : Audio + v1));
    }

    // A write that fails is reported; the file is neither moved nor is any
    // folder made for it.
    // The window's Apply included: a file that another program edited or
    // replaced after it was read is left as it is.
    void failedWrite_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("journaled");
        // As the move of a missing file fails; # is the target.
        QTest::newRow("file gone") << "gone"
                                   << "Cannot move file as #. Error 2" << true;
        QTest::newRow("file gone, no journal") << "gone"
                                               << "Cannot move file as #. Error 2" << false;
        QTest::newRow("read-only file")
            << "readonly"
            << "Cannot write tags to @: " + qt_error_string(EPERM) << true;
        QTest::newRow("edited since it was read")
            << "edited"
            << "@ changed since it was read; left alone" << true;
        QTest::newRow("replaced since it was read")
            << "replaced"
            << "@ changed since it was read; left alone" << true;
        QTest::newRow("edited since it was read, no journal")
            << "edited"
            << "@ changed since it was read; left alone" << false;
        QTest::newRow("edited, its time put back")
            << "edited, time kept"
            << "@ changed since it was read; left alone" << true;
        QTest::newRow("edited, its time put back, no journal")
            << "edited, time kept"
            << "@ changed since it was read; left alone" << false;
    }
    void failedWrite() {
        QFETCH(QString, how);
        QFETCH(QString, message);
        QFETCH(bool, journaled);
        QTemporaryDir dir;
        const QString path = dir.filePath("song.mp3");
        QByteArray bytes = songBytes(true);
        QVERIFY(fixture::WriteFile(path, bytes));
        // Made read-only before the read: that change is no edit since.
        ImmutableFile guard;
        if (how == QLatin1String("readonly") && !guard.protect(path))
            QSKIP("this file system cannot make a file read-only for this user");
        TagInfo tag;
        QVERIFY(ReadSelection(tag, path).ok);
        if (how == QLatin1String("gone")) {
            QVERIFY(QFile::remove(path));
        } else if (how.startsWith(QLatin1String("edited"))) {
            bytes[bytes.size() - 1] = 'E'; // same length, same tag
            QVERIFY(fixture::EditInPlace(path, bytes, how.endsWith(QLatin1String("time kept"))));
        } else if (how == QLatin1String("replaced")) {
            QVERIFY(fixture::WriteFile(path + ".new", bytes));
            QCOMPARE(::rename(QFile::encodeName(path + ".new"), QFile::encodeName(path)), 0);
        }
        JournalWriter journal;
        const ApplyResult r = ApplyFile(tag, outputs(dir.filePath("new/sub"), "x", "A", "T"),
                                        {true, true}, journaled ? &journal : nullptr);
        journal.finish();
        QCOMPARE(r.messages, QStringList{QString(message).replace('@', path).replace(
                                 '#', dir.filePath("new/sub/x.mp3"))});
        QVERIFY(!r.ok);
        QVERIFY(!r.tagsWritten);
        QVERIFY(!r.moved);
        QVERIFY(!QFileInfo::exists(dir.filePath("new")));
        guard.release();
        if (how != QLatin1String("gone"))
            QCOMPARE(fixture::ReadFile(path), bytes);
        QCOMPARE(ReadJournalRuns().size(), 0); // nothing changed, nothing kept
    }

    // Without a journal record on disk the file is not touched at all.
    void journalFailureLeavesFileAlone() {
        QTemporaryDir dir;
        const QString path = dir.filePath("song.mp3");
        const QByteArray bytes = songBytes(true);
        QVERIFY(fixture::WriteFile(path, bytes));
        QVERIFY(fixture::WriteFile(dir.filePath("blocker"), "a file, not a folder"));
        TagInfo tag;
        QVERIFY(ReadSelection(tag, path).ok);
        JournalWriter journal(dir.filePath("blocker/journal"));
        const ApplyResult r =
            ApplyFile(tag, outputs(dir.filePath("new"), "x", "A", "T"), {true, true}, &journal);
        QVERIFY(!r.ok);
        QVERIFY(!r.tagsWritten);
        QCOMPARE(r.messages.size(), 1);
        QVERIFY2(r.messages[0].startsWith("Cannot write the undo journal: "),
                 qPrintable(r.messages[0]));
        QCOMPARE(fixture::ReadFile(path), bytes);
        QVERIFY(!QFileInfo::exists(dir.filePath("new")));
    }

    // What a preview says matches what Apply then does, and it changes nothing.
    void previewMatchesApply_data() { apply_data(); }
    void previewMatchesApply() {
        QFETCH(QString, file);
        QFETCH(QString, occupied);
        QFETCH(QString, location);
        QFETCH(QString, filename);
        QFETCH(QString, title);
        QFETCH(bool, clearOtherV2);
        QTemporaryDir dir;
        location.replace('@', dir.path());
        occupied.replace('@', dir.path());
        QVERIFY(QDir(dir.path()).mkdir("music"));
        const QString path = dir.path() + "/music/" + file;
        QVERIFY(fixture::WriteFile(path, songBytes(false)));
        if (!occupied.isEmpty())
            QVERIFY(fixture::WriteFile(occupied, "x"));
        const FieldValues out = outputs(location, filename, "New Artist", title);

        const std::optional<Refusal> refusal = CheckBeforeApply(path, out);
        QCOMPARE(fixture::ReadFile(path), songBytes(false));
        QCOMPARE(QDir(dir.path() + "/music").count(), occupied.isEmpty() ? 3u : 4u);

        TagInfo tag;
        QVERIFY(ReadSelection(tag, path).ok);
        const ApplyResult applied = ApplyFile(tag, out, {clearOtherV2, false});
        QCOMPARE(refusal ? QStringList{refusal->message} : QStringList{}, applied.messages);
        QCOMPARE(!refusal, applied.ok);
    }

    // The service's journal takes back real writes byte for byte, growing
    // tags and removed ID3v1 blocks included.
    void journaledUndo_data() {
        QTest::addColumn<bool>("withV1");
        QTest::addColumn<bool>("clearOtherV2");
        QTest::addColumn<bool>("clearV1");
        QTest::addColumn<int>("titleLength");  // long titles make the tag grow
        QTest::addColumn<bool>("inPlace");     // the tag fits the old space
        QTest::addColumn<int>("cover");        // bytes of a picture that Apply keeps
        QTest::addColumn<int>("undoCutAfter"); // pages an undo killed before wrote back (0: none)
        QTest::addColumn<bool>("stays");       // the file keeps its path
        // The journal's copy of the old padding is altered: undo must notice.
        QTest::addColumn<bool>("savedAltered");
        QTest::addColumn<bool>("kernelCopies"); // else the audio goes through a buffer
        QTest::newRow("in place") << false << false << false << 5 << true << 0 << 0 << false
                                  << false << true;
        QTest::newRow("tag grows")
            << true << false << false << 3000 << false << 0 << 0 << false << false << true;
        QTest::newRow("tag grows, copied through a buffer")
            << true << false << false << 3000 << false << 0 << 0 << false << false << false;
        QTest::newRow("everything cleared, tag grows")
            << true << true << true << 3000 << false << 0 << 0 << false << false << true;
        QTest::newRow("v1 removed in place")
            << true << false << true << 3 << true << 0 << 0 << false << false << true;
        QTest::newRow("cover cleared: kept in the journal")
            << false << true << false << 5 << true << 30000 << 0 << false << false << true;
        QTest::newRow("in place, cover kept")
            << false << false << false << 5 << true << 30000 << 0 << false << false << true;
        QTest::newRow("tag grows, cover kept")
            << true << false << true << 3000 << false << 30000 << 0 << false << false << true;
        QTest::newRow("in place, cover kept, undo cut off")
            << true << false << true << 5 << true << 30000 << 3 << false << false << true;
        // Taken back where it stands: read ahead of its turn, under its lock.
        QTest::newRow("stays, cover kept")
            << false << false << false << 5 << true << 30000 << 0 << true << false << true;
        QTest::newRow("stays, cover kept, v1 removed")
            << true << false << true << 5 << true << 30000 << 0 << true << false << true;
        QTest::newRow("stays, cover kept, undo cut off")
            << true << false << true << 5 << true << 30000 << 3 << true << false << true;
        QTest::newRow("in place, cover kept, saved padding altered")
            << false << false << false << 5 << true << 30000 << 0 << false << true << true;
        QTest::newRow("stays, cover kept, saved padding altered")
            << false << false << false << 5 << true << 30000 << 0 << true << true << true;
        QTest::newRow("stays, short file, v1 removed")
            << true << false << true << 3 << true << 0 << 0 << true << false << true;
    }
    void journaledUndo() {
        QFETCH(bool, withV1);
        QFETCH(bool, clearOtherV2);
        QFETCH(bool, clearV1);
        QFETCH(int, titleLength);
        QFETCH(bool, inPlace);
        QFETCH(int, cover);
        QFETCH(int, undoCutAfter);
        QFETCH(bool, stays);
        QFETCH(bool, savedAltered);
        QFETCH(bool, kernelCopies);
        NoKernelCopy buffered;
        SetRewriteFileOps(kernelCopies ? nullptr : &buffered);
        const auto restoreOps = qScopeGuard([] { SetRewriteFileOps(nullptr); });
        QTemporaryDir dir;
        const QString path = dir.filePath("in/song.mp3");
        const QString target = stays ? path : dir.filePath("out/a/b/x.mp3");
        QVERIFY(QDir().mkpath(dir.filePath("in")));
        const QByteArray before = songBytes(withV1, inPlace ? 4000 : 64, cover);
        QVERIFY(fixture::WriteFile(path, before));
        // A second name of the file, its mode and a desktop's rating: what
        // undo gives back beside the bytes.
        const QByteArray name = QFile::encodeName(path);
        QCOMPARE(::link(name.constData(), QFile::encodeName(dir.filePath("second.mp3"))), 0);
        QCOMPARE(::chmod(name.constData(), 0640), 0);
        const bool attributes = ::setxattr(name.constData(), "user.rating", "4", 1, 0) == 0;
        // Another owner (root may give one) and another user's access.
        if (::geteuid() == 0)
            QCOMPARE(::chown(name.constData(), 65534, 65534), 0);
        const bool listed = fixture::GrantUserAccess(path, 1);
        const QByteArray acl = fixture::AccessList(path);
        struct stat original;
        QCOMPARE(::stat(name.constData(), &original), 0);
        TagInfo tag;
        QVERIFY(ReadSelection(tag, path).ok);
        JournalWriter journal;
        const ApplyResult r =
            ApplyFile(tag,
                      outputs(stays ? dir.filePath("in") : dir.filePath("out/a/b"),
                              stays ? "song" : "x", "Artist", QString(titleLength, 'T')),
                      {clearOtherV2, clearV1}, &journal);
        journal.finish();
        QVERIFY(r.ok);
        // A tag that grows puts a new file at the path: the second name
        // keeps the old one, and the result says so.
        QCOMPARE(r.messages.filter("hard link").size(), inPlace ? 0 : 1);
        if (!inPlace)
            QCOMPARE(r.messages.filter("hard link").first(),
                     QString("1 other name (hard link) of %1 keeps the old tags").arg(path));
        const QByteArray applied = fixture::ReadFile(target);
        QVERIFY(applied != before);
        QCOMPARE(applied.size() == before.size() - (withV1 && clearV1 ? 128 : 0), inPlace);
        // A picture that the new tag holds is not kept in the journal too.
        const JournalRun run = ReadJournalRuns().value(0);
        QCOMPARE(QFileInfo(run.bytesFile).size() < cover, cover > 0 && !clearOtherV2);
        if (undoCutAfter > 0) {
            // Killed after writing the first pages of the old tag back, in
            // place, behind its restore mark.
            QVERIFY(recordRestoring(run.file, 1));
            QByteArray half = applied;
            half.replace(0, undoCutAfter * 4096, before.left(undoCutAfter * 4096));
            QVERIFY(fixture::WriteFile(target, half));
        }

        if (savedAltered) {
            // The last byte kept is the old tag's last byte of padding, in a
            // page that the journal holds whole.
            QFile bytes(run.bytesFile);
            QVERIFY(bytes.open(QIODevice::ReadWrite));
            QVERIFY(bytes.seek(bytes.size() - 1));
            QVERIFY(bytes.putChar('\x01'));
            bytes.close();
        }

        const UndoReport undo = UndoRun(ReadJournalRun(run.file));
        if (savedAltered) {
            QVERIFY(!undo.ok);
            QCOMPARE(undo.files.value(0).messages,
                     QStringList{target + " does not match the journal; left alone"});
            QCOMPARE(fixture::ReadFile(target), applied);
            return;
        }
        QVERIFY2(undo.ok, qPrintable(undo.files.value(0).messages.join(' ')));
        QCOMPARE(fixture::ReadFile(path), before);
        QVERIFY(!QFileInfo::exists(dir.filePath("out")));
        struct stat restored;
        QCOMPARE(::stat(name.constData(), &restored), 0);
        QCOMPARE(restored.st_mode, original.st_mode);
        QCOMPARE(restored.st_uid, original.st_uid);
        QCOMPARE(restored.st_gid, original.st_gid);
        if (listed)
            QCOMPARE(fixture::AccessList(path), acl);
        QCOMPARE(restored.st_mtim.tv_sec, original.st_mtim.tv_sec);
        if (attributes) {
            char value[4] = {};
            QCOMPARE(::getxattr(name.constData(), "user.rating", value, sizeof value), ssize_t(1));
            QCOMPARE(value[0], '4');
        }
        // Where the audio never moved, the file itself was mended: still one
        // file under both names.
        if (inPlace) {
            QCOMPARE(restored.st_ino, original.st_ino);
            QCOMPARE(fixture::ReadFile(dir.filePath("second.mp3")), before);
        }
    }
};

QTEST_GUILESS_MAIN(TestApplyService)
#include "test_applyservice.moc"
