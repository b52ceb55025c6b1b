#include "apply/journal.h"
#include "apply/undo.h"
#include "filelisttestsupport.h"

#include "tags/pathbytes.h"

#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <unistd.h>

namespace {

// The subject is "in/<file>"; a second file "in/zz-next.mp3" follows it in
// the list unless the row says otherwise.
constexpr const char* NextName = "zz-next.mp3";

bool endsWithV1(const QString& path) {
    const QByteArray bytes = fixture::ReadFile(path);
    return bytes.size() >= 128 && bytes.mid(bytes.size() - 128, 3) == "TAG";
}

} // namespace

class TestWindowApply : public QObject {
    Q_OBJECT
private slots:
    void apply_data();
    void apply();
    void refusedWithoutReadableSelection_data();
    void refusedWithoutReadableSelection();
    void journalTakesBackWindowApply();
    void namesAsBytes();
    void symbolicLinkRefused();
    void movedEntryFollowsItsFile_data();
    void movedEntryFollowsItsFile();
    void changedMeanwhileIsReadAgain_data();
    void changedMeanwhileIsReadAgain();
};

void TestWindowApply::apply_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("frames");
    QTest::addColumn<bool>("withV1");
    QTest::addColumn<bool>("withNext");
    QTest::addColumn<QStringList>("options"); // "clearOtherV2", "clearV1"
    QTest::addColumn<QStringList>("edits");
    QTest::addColumn<QStringList>("occupied"); // plain files made before Apply
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QString>("finalPath");
    QTest::addColumn<QStringList>("finalFrames"); // "ID=text"; "ID=" absent or empty
    QTest::addColumn<bool>("v1After");
    QTest::addColumn<int>("selectedAfter");
    QTest::addColumn<QString>("titleShownAfter");
    QTest::addColumn<QString>("mark"); // of the subject's entry: "", "applied", "failed"

    const QString tagged = "TPE1=Ann|TIT2=Old|TCOM=Composer";
    QTest::newRow("own path: rewritten, extension in lower case")
        << "Song.MP3" << tagged << false << true << QStringList{} << QStringList{"0 3 New"}
        << QStringList{} << QStringList{} << "in/Song.mp3"
        << QStringList{"TIT2=New", "TPE1=Ann", "TPE2=Ann", "TCOM=Composer"} << false << 1 << "Next"
        << "applied";
    QTest::newRow("x.wav becomes x.mp3")
        << "x.wav" << tagged << false << true << QStringList{} << QStringList{} << QStringList{}
        << QStringList{} << "in/x.mp3" << QStringList{"TIT2=Old"} << false << 1 << "Next"
        << "applied";
    QTest::newRow("empty title keeps TIT2")
        << "a.mp3" << tagged << false << true << QStringList{} << QStringList{"0 3 "}
        << QStringList{} << QStringList{} << "in/a.mp3" << QStringList{"TIT2=Old", "TCOM=Composer"}
        << false << 1 << "Next"
        << "applied";
    QTest::newRow("empty title with clear other V2: no TIT2, other frames gone")
        << "a.mp3" << tagged << false << true << QStringList{"clearOtherV2"} << QStringList{"0 3 "}
        << QStringList{} << QStringList{} << "in/a.mp3"
        << QStringList{"TIT2=", "TCOM=", "TPE1=Ann", "TPE2=Ann"} << false << 1 << "Next"
        << "applied";
    QTest::newRow("artist into TPE1 and TPE2")
        << "a.mp3"
        << "TPE2=Band" << false << true << QStringList{} << QStringList{"0 2 Solo"} << QStringList{}
        << QStringList{} << "in/a.mp3" << QStringList{"TPE1=Solo", "TPE2=Solo"} << false << 1
        << "Next"
        << "applied";
    QTest::newRow("clear V1 drops the block")
        << "a.mp3" << tagged << true << true << QStringList{"clearV1"} << QStringList{}
        << QStringList{} << QStringList{} << "in/a.mp3" << QStringList{"TIT2=Old"} << false << 1
        << "Next"
        << "applied";
    QTest::newRow("without clear V1 the block stays")
        << "a.mp3" << tagged << true << true << QStringList{} << QStringList{"0 3 Changed"}
        << QStringList{} << QStringList{} << "in/a.mp3" << QStringList{"TIT2=Changed"} << true << 1
        << "Next"
        << "applied";
    QTest::newRow("two new folder levels")
        << "a.mp3" << tagged << false << true << QStringList{}
        << QStringList{"0 0 {dir}/out/one/two", "0 1 Renamed"} << QStringList{} << QStringList{}
        << "out/one/two/Renamed.mp3" << QStringList{"TIT2=Old"} << false << 1 << "Next"
        << "applied";
    QTest::newRow("Location names a file: refused before writing, selection stays")
        << "a.mp3" << tagged << false << true << QStringList{}
        << QStringList{"0 0 {dir}/blocker", "0 3 Written"} << QStringList{"blocker"}
        << QStringList{"Cannot create folder"} << "in/a.mp3" << QStringList{"TIT2=Old"} << false
        << 0 << "Written"
        << "failed";
    QTest::newRow("empty Location is refused")
        << "a.mp3" << tagged << false << true << QStringList{} << QStringList{"0 0 "}
        << QStringList{} << QStringList{"Cannot create folder"} << "in/a.mp3"
        << QStringList{"TIT2=Old"} << false << 0 << "Old"
        << "failed";
    QTest::newRow("target exists: refused before writing, selection stays")
        << "a.mp3" << tagged << false << true << QStringList{}
        << QStringList{"0 0 {dir}/out", "0 3 Tagged"} << QStringList{"out/a.mp3"}
        << QStringList{"Cannot move file as {dir}/out/a.mp3. Error 17"} << "in/a.mp3"
        << QStringList{"TIT2=Old"} << false << 0 << "Tagged"
        << "failed";
    QTest::newRow("a format message: nothing written")
        << "a.mp3" << tagged << false << true << QStringList{}
        << QStringList{"2 1 %F%T", "0 3 Formatted"} << QStringList{}
        << QStringList{"Invalid format: %F%T Two format string together, cannot parse"}
        << "in/a.mp3" << QStringList{"TIT2=Old"} << false << 0 << "Formatted"
        << "";
    QTest::newRow("last entry: moved, selection stays, fields stay")
        << "a.mp3" << tagged << false << false << QStringList{}
        << QStringList{"0 0 {dir}/out", "0 3 Last"} << QStringList{} << QStringList{} << "out/a.mp3"
        << QStringList{"TIT2=Last"} << false << 0 << "Last"
        << "applied";
    QTest::newRow("transformation fails: nothing written, selection stays")
        << "a.mp3" << tagged << false << true << QStringList{}
        << QStringList{"2 3 %T %X", "0 0 {dir}/out"} << QStringList{}
        << QStringList{"%T %X has invalid value %X"} << "in/a.mp3"
        << QStringList{"TIT2=Old", "TPE2="} << false << 0 << "Old"
        << "";
    QTest::newRow("edits on the Output page are what Apply takes")
        << "a.mp3" << tagged << false << true << QStringList{} << QStringList{"3 3 Ignored"}
        << QStringList{} << QStringList{} << "in/a.mp3" << QStringList{"TIT2=Old"} << false << 1
        << "Next"
        << "applied";
}

void TestWindowApply::apply() {
    QFETCH(QString, file);
    QFETCH(QString, frames);
    QFETCH(bool, withV1);
    QFETCH(bool, withNext);
    QFETCH(QStringList, options);
    QFETCH(QStringList, edits);
    QFETCH(QStringList, occupied);
    QFETCH(QStringList, messages);
    QFETCH(QString, finalPath);
    QFETCH(QStringList, finalFrames);
    QFETCH(bool, v1After);
    QFETCH(int, selectedAfter);
    QFETCH(QString, titleShownAfter);
    QFETCH(QString, mark);

    QTemporaryDir dir;
    const QDir root(dir.path());
    const QString source = root.filePath(QStringLiteral("in/") + file);
    QVERIFY(writeTaggedFile(source, frames, withV1));
    if (withNext)
        QVERIFY(writeTaggedFile(root.filePath(QStringLiteral("in/") + NextName), "TIT2=Next"));
    for (const QString& path : occupied) {
        QVERIFY(root.mkpath(QFileInfo(root.filePath(path)).path()));
        QVERIFY(fixture::WriteFile(root.filePath(path), "occupied"));
    }

    WindowUnderTest w;
    QStringList dropped{source};
    if (withNext)
        dropped.append(root.filePath(QStringLiteral("in/") + NextName));
    dropFiles(w.dialog.get(), dropped);
    w.userSelects(0);
    // The profile keeps every value as read (an empty track stays empty).
    for (int f = FieldLocation; f < FieldTrack; ++f)
        QCOMPARE(w.dialog->fieldGrid()[RowOutput][size_t(f)],
                 w.dialog->fieldGrid()[RowInput][size_t(f)]);
    w.dialog->controls().setChecked(IDC_CLEAR_OTHER_V2, options.contains("clearOtherV2"));
    w.dialog->controls().setChecked(IDC_CLEAR_V1, options.contains("clearV1"));
    w.typeEdits(edits, dir.path());

    w.click(IDC_APPLY);

    QStringList expectedMessages;
    for (const QString& m : messages)
        expectedMessages.append(expandDir(m, dir.path()));
    QCOMPARE(w.messages(), expectedMessages);
    const QString final = root.filePath(finalPath);
    QVERIFY2(QFileInfo::exists(final), qPrintable(final));
    if (final != source)
        QVERIFY(!QFileInfo::exists(source));
    for (const QString& f : finalFrames) {
        const QByteArray id = f.section(QLatin1Char('='), 0, 0).toLatin1();
        QCOMPARE(frameText(final, id.constData()), f.section(QLatin1Char('='), 1));
    }
    QCOMPARE(endsWithV1(final), v1After);
    for (const QString& path : occupied)
        QCOMPARE(fixture::ReadFile(root.filePath(path)), QByteArray("occupied"));
    QCOMPARE(w.dialog->fileList().selectedPosition(), selectedAfter);
    if (w.dialog->currentPage() != RowInput)
        w.clickPage(RowInput);
    QCOMPARE(w.shown(FieldTitle), titleShownAfter);
    // The subject's entry stands for the file where it is now, marked with
    // what Apply did; the full path, and why Apply failed, in its tooltip.
    const FileList& files = w.dialog->fileList();
    QCOMPARE(files.count(), withNext ? 2 : 1);
    const int entry = files.positionOfSlot(files.store().find(final));
    QVERIFY(entry >= 0);
    QCOMPARE(w.list()->item(entry)->text(), QFileInfo(final).fileName());
    const QMap<QString, FileList::Mark> marks{{"", FileList::Mark::None},
                                              {"applied", FileList::Mark::Applied},
                                              {"failed", FileList::Mark::Failed}};
    QCOMPARE(files.markAt(entry), marks.value(mark));
    QStringList tip{final};
    if (mark == QLatin1String("applied"))
        tip.append(QStringLiteral("Applied"));
    else if (mark == QLatin1String("failed"))
        tip.append(QStringLiteral("Apply failed: ") + expectedMessages.join(QLatin1Char('\n')));
    QCOMPARE(w.list()->item(entry)->toolTip(), tip.join(QLatin1Char('\n')));
}

void TestWindowApply::refusedWithoutReadableSelection_data() {
    QTest::addColumn<QString>("before"); // what the user did before Apply

    QTest::newRow("nothing selected yet") << "none";
    QTest::newRow("selected file vanished") << "vanished";
    QTest::newRow("after Remove All") << "removeAll";
    QTest::newRow("after removing the last entry") << "removeLast";
}

void TestWindowApply::refusedWithoutReadableSelection() {
    QFETCH(QString, before);

    QTemporaryDir dir;
    const QDir root(dir.path());
    QVERIFY(writeTaggedFile(root.filePath("a.mp3"), "TIT2=First"));
    QVERIFY(writeTaggedFile(root.filePath("b.mp3"), "TIT2=Second"));
    WindowUnderTest w;
    dropFiles(w.dialog.get(), {root.filePath("a.mp3"), root.filePath("b.mp3")});
    if (before == QLatin1String("vanished")) {
        w.userSelects(0);
        QVERIFY(QFile::rename(root.filePath("b.mp3"), root.filePath("b.keep")));
        w.userSelects(1);
    } else if (before == QLatin1String("removeAll")) {
        w.userSelects(0);
        w.click(IDC_REMOVE_ALL);
    } else if (before == QLatin1String("removeLast")) {
        w.userSelects(1);
        w.click(IDC_REMOVE_ITEM);
    }
    // Whatever the fields show, Apply would otherwise move it somewhere.
    w.dialog->controls().setText(fieldEditId(FieldLocation), root.filePath("out"));
    const QStringList filesBefore = root.entryList(QDir::Files);
    const QByteArray aBefore = fixture::ReadFile(root.filePath("a.mp3"));

    w.click(IDC_APPLY);
    QCOMPARE(w.messages(), QStringList{"Select a file that can be read first"});
    QCOMPARE(root.entryList(QDir::Files), filesBefore);
    QCOMPARE(fixture::ReadFile(root.filePath("a.mp3")), aBefore);
    QVERIFY(!QFileInfo::exists(root.filePath("out")));
}

void TestWindowApply::journalTakesBackWindowApply() {
    QTemporaryDir dir;
    const QDir root(dir.path());
    const QString source = root.filePath("in/a.mp3");
    QVERIFY(writeTaggedFile(source, "TIT2=Old", true));
    const QByteArray original = fixture::ReadFile(source);
    WindowUnderTest w;
    dropFiles(w.dialog.get(), {source});
    w.userSelects(0);
    w.dialog->controls().setChecked(IDC_CLEAR_V1, true);
    w.typeEdits({"0 0 {dir}/out/new", "0 3 New"}, dir.path());
    w.click(IDC_APPLY);
    QCOMPARE(w.messages(), QStringList{});
    QCOMPARE(frameText(root.filePath("out/new/a.mp3"), "TIT2"), QStringLiteral("New"));

    const QList<JournalRun> runs = ReadJournalRuns();
    QVERIFY(!runs.isEmpty());
    const JournalRun run = runs.first();
    QCOMPARE(run.entries.size(), 1);
    QCOMPARE(run.entries.first().originalPath, source);
    QCOMPARE(run.entries.first().finalPath, root.filePath("out/new/a.mp3"));

    const UndoReport undo = UndoRun(run);
    QVERIFY(undo.ok);
    QCOMPARE(fixture::ReadFile(source), original);
    QVERIFY(!QFileInfo::exists(root.filePath("out")));
}

// A name that is no UTF-8 reaches the window with its bytes (dropped as a
// URL, or picked in the file dialog, which decodes it into U+FFFD) and
// Apply moves that file, never its neighbour whose name reads the same.
void TestWindowApply::namesAsBytes() {
    QTemporaryDir dir;
    const QByteArray folder = QFile::encodeName(dir.path());
    const QByteArray latin1 = folder + "/caf\xE9.mp3";
    const QByteArray neighbour = folder + "/caf\xEF\xBF\xBD.mp3";
    QVERIFY(writeTaggedFile(dir.filePath("mine"), "TIT2=Mine"));
    QVERIFY(writeTaggedFile(dir.filePath("theirs"), "TIT2=Theirs"));
    QCOMPARE(::rename(QFile::encodeName(dir.filePath("mine")), latin1), 0);
    QCOMPARE(::rename(QFile::encodeName(dir.filePath("theirs")), neighbour), 0);
    const QString exact = dir.path() + "/caf" + QChar(0xDCE9) + ".mp3";
    const QString decoded = dir.path() + "/caf" + QChar(0xFFFD) + ".mp3";

    WindowUnderTest w;
    w.dialog->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.dialog.get()));
    // Two files read "caf\uFFFD.mp3" in the dialog: which one is meant is
    // not known, and nothing is added.
    w.seam.openAnswers.enqueue({decoded});
    QTest::keyClick(w.dialog.get(), Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(w.messages().size(), 1);
    QVERIFY(w.messages()[0].startsWith("Cannot add " + decoded));
    QVERIFY(w.messages()[0].endsWith("drop the file onto the window instead"));
    QCOMPARE(w.dialog->fileList().count(), 0);

    QMimeData mime;
    mime.setData("text/uri-list", "file://" + folder.toPercentEncoding("/") + "/caf%E9.mp3\r\n");
    QDragEnterEvent enter(QPoint(4, 4), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w.dialog.get(), &enter);
    QDropEvent drop(QPointF(4, 4), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w.dialog.get(), &drop);
    QVERIFY(drop.isAccepted());
    QVERIFY(waitForAdding(*w.dialog));
    QCOMPARE(w.dialog->fileList().pathAt(0), exact);
    // The folder, read as bytes, gives both files.
    w.click(IDC_REMOVE_ALL);
    QVERIFY(dropFiles(w.dialog.get(), {dir.path()}));
    QStringList listed{w.dialog->fileList().pathAt(0), w.dialog->fileList().pathAt(1)};
    QCOMPARE(w.dialog->fileList().count(), 2);
    QVERIFY(listed.contains(exact) && listed.contains(pathFromBytes(neighbour)));
    w.userSelects(int(listed.indexOf(exact)));
    QCOMPARE(w.shown(FieldTitle), QStringLiteral("Mine"));
    w.typeEdits({"0 0 {dir}/out"}, dir.path());
    w.click(IDC_APPLY);
    QCOMPARE(w.messages().size(), 1);
    QCOMPARE(::access(latin1.constData(), F_OK), -1);
    QCOMPARE(::access((folder + "/out/caf\xE9.mp3").constData(), F_OK), 0);
    QCOMPARE(frameText(pathFromBytes(neighbour), "TIT2"), QStringLiteral("Theirs"));
}

// A file named through a symbolic link is refused with a message that names
// the link and its target; neither moves.
void TestWindowApply::symbolicLinkRefused() {
    QTemporaryDir dir;
    const QDir root(dir.path());
    QVERIFY(writeTaggedFile(root.filePath("a.mp3"), "TIT2=A"));
    QVERIFY(QFile::link("a.mp3", root.filePath("link.mp3")));
    WindowUnderTest w;
    dropFiles(w.dialog.get(), {root.filePath("link.mp3")});
    w.userSelects(0);
    w.typeEdits({"0 0 {dir}/out"}, dir.path());
    w.click(IDC_APPLY);
    QCOMPARE(w.messages(), QStringList{"Not applied to " + root.filePath("link.mp3") +
                                       ": it is a symbolic link to " + root.filePath("a.mp3") +
                                       " (give that file instead)"});
    QVERIFY(QFileInfo(root.filePath("link.mp3")).isSymLink());
    QVERIFY(!QFileInfo::exists(root.filePath("out")));
    QCOMPARE(frameText(root.filePath("a.mp3"), "TIT2"), QStringLiteral("A"));
}

void TestWindowApply::movedEntryFollowsItsFile_data() {
    QTest::addColumn<QStringList>("files"); // in "in/", all listed; the first is applied
    QTest::addColumn<QString>("filename");  // typed Filename output
    QTest::addColumn<QStringList>("names"); // the list afterwards
    QTest::addColumn<QString>("selected");  // the entry selected after Apply
    // Applied before the first, each renamed to "n" and its old name.
    QTest::addColumn<QStringList>("earlier");

    QTest::newRow("renamed to sort last: the entry that followed is next")
        << QStringList{"a.mp3", "b.mp3", "c.mp3"} << "zz moved"
        << QStringList{"b.mp3", "c.mp3", "zz moved.mp3"} << "b.mp3" << QStringList{};
    QTest::newRow("renamed to sort first")
        << QStringList{"m.mp3", "n.mp3", "b.mp3"} << "A moved"
        << QStringList{"A moved.mp3", "b.mp3", "n.mp3"} << "n.mp3" << QStringList{};
    QTest::newRow("the last entry stays selected under its new name")
        << QStringList{"z.mp3", "a.mp3"} << "b" << QStringList{"a.mp3", "b.mp3"} << "b.mp3"
        << QStringList{};
    // A name equal but for case is another file here: both stay listed.
    QTest::newRow("a listed name in other letter case stays")
        << QStringList{"a.mp3", "B.mp3", "c.mp3"} << "b" << QStringList{"B.mp3", "b.mp3", "c.mp3"}
        << "B.mp3" << QStringList{};
    // Entries applied before moved to their new names' places: Apply steps
    // past them, never composing a name anew from the one it gave.
    QTest::newRow("an entry applied before is passed over")
        << QStringList{"m.mp3", "a.mp3", "y.mp3"} << "n" << QStringList{"n.mp3", "na.mp3", "y.mp3"}
        << "y.mp3" << QStringList{"a.mp3"};
    QTest::newRow("only applied entries follow: the applied one stays selected")
        << QStringList{"m.mp3", "a.mp3", "b.mp3"} << "n" << QStringList{"n.mp3", "na.mp3", "nb.mp3"}
        << "n.mp3" << QStringList{"a.mp3", "b.mp3"};
}

void TestWindowApply::movedEntryFollowsItsFile() {
    QFETCH(QStringList, files);
    QFETCH(QString, filename);
    QFETCH(QStringList, names);
    QFETCH(QString, selected);
    QFETCH(QStringList, earlier);

    QTemporaryDir dir;
    const QDir root(dir.path());
    QStringList paths;
    for (const QString& name : files) {
        paths.append(root.filePath(QStringLiteral("in/") + name));
        QVERIFY(writeTaggedFile(paths.last(), QStringLiteral("TIT2=") + name));
    }
    WindowUnderTest w;
    dropFiles(w.dialog.get(), paths);
    const FileList& list = w.dialog->fileList();
    for (const QString& name : earlier) {
        w.userSelects(list.positionOfSlot(int(files.indexOf(name))));
        w.typeEdits({"0 1 n" + QFileInfo(name).completeBaseName()}, dir.path());
        w.click(IDC_APPLY);
    }
    w.userSelects(list.positionOfSlot(0));
    w.typeEdits({"0 1 " + filename}, dir.path());
    w.click(IDC_APPLY);

    QCOMPARE(w.messages(), QStringList{});
    QCOMPARE(w.names(), names);
    QCOMPARE(FileList::displayName(list.selectedPath()), selected);
    const QString moved = root.filePath(QStringLiteral("in/%1.mp3").arg(filename));
    const int entry = list.positionOfSlot(0);
    QCOMPARE(list.pathAt(entry), moved);
    QCOMPARE(list.markAt(entry), FileList::Mark::Applied);
    // Selected again, the entry reads the file where it now stands.
    w.userSelects(entry == 0 ? 1 : 0);
    w.userSelects(entry);
    QCOMPARE(w.shown(FieldFilename), filename);
    QCOMPARE(w.shown(FieldTitle), files.first());
    QCOMPARE(w.dialog->tagInfo().path, moved);
}

QTEST_MAIN(TestWindowApply)

void TestWindowApply::changedMeanwhileIsReadAgain_data() {
    QTest::addColumn<QString>("meanwhile"); // what another program does after the selection
    QTest::addColumn<bool>("clearFirst");   // the first Apply clears the other frames
    QTest::addColumn<QStringList>("secondMessages");
    QTest::addColumn<QStringList>("finalFrames");

    QTest::newRow("tags edited: the second Apply writes onto them")
        << "edit" << false << QStringList{}
        << QStringList{"TIT2=Typed", "TCOM=Theirs", "TALB=Added"};
    QTest::newRow("other frames cleared only by the Apply that asked for it")
        << "edit" << true << QStringList{}
        << QStringList{"TIT2=Typed", "TCOM=Theirs", "TALB=Added"};
    QTest::newRow("file removed: nothing left to write")
        << "remove" << false << QStringList{"Select a file that can be read first"}
        << QStringList{};
}

// A file changed after it was selected is refused once; the record is read
// again, so the next Apply writes the fields onto the file as it is now.
void TestWindowApply::changedMeanwhileIsReadAgain() {
    QFETCH(QString, meanwhile);
    QFETCH(bool, clearFirst);
    QFETCH(QStringList, secondMessages);
    QFETCH(QStringList, finalFrames);

    QTemporaryDir dir;
    const QString source = dir.filePath("a.mp3");
    QVERIFY(writeTaggedFile(source, "TIT2=Old|TCOM=Mine"));
    WindowUnderTest w;
    dropFiles(w.dialog.get(), {source});
    w.userSelects(0);
    w.typeEdits({"0 3 Typed"}, dir.path());
    w.dialog->controls().setChecked(IDC_CLEAR_OTHER_V2, clearFirst);
    if (meanwhile == QLatin1String("edit"))
        QVERIFY(writeTaggedFile(source, "TIT2=Old|TCOM=Theirs|TALB=Added"));
    else
        QVERIFY(QFile::remove(source));
    const QByteArray changed = fixture::ReadFile(source);

    w.click(IDC_APPLY);
    // A file removed fails as the move of a missing file does.
    QCOMPARE(w.messages(), QStringList{meanwhile == QLatin1String("edit")
                                           ? source + " changed since it was read; left alone"
                                           : "Cannot move file as " + source + ". Error 2"});
    QCOMPARE(fixture::ReadFile(source), changed);

    w.seam.shown.clear();
    w.dialog->controls().setChecked(IDC_CLEAR_OTHER_V2, false);
    w.click(IDC_APPLY);
    QCOMPARE(w.messages(), secondMessages);
    for (const QString& f : finalFrames) {
        const QByteArray id = f.section(QLatin1Char('='), 0, 0).toLatin1();
        QCOMPARE(frameText(source, id.constData()), f.section(QLatin1Char('='), 1));
    }
}

#include "test_window_apply.moc"
