#include "app/quorvelapp.h"
#include "filelisttestsupport.h"

#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Creates each path under root: a trailing "/" makes a folder, anything
// else a tagged MP3 file named after itself.
void createAll(const QDir& root, const QStringList& paths) {
    for (const QString& path : paths) {
        if (path.endsWith(QLatin1Char('/')))
            QVERIFY(root.mkpath(path));
        else
            QVERIFY(writeTaggedFile(root.filePath(path), QStringLiteral("TIT2=") + path));
    }
}

QStringList under(const QDir& root, const QString& joined) {
    QStringList paths;
    for (const QString& p : joined.split(QLatin1Char('|'), Qt::SkipEmptyParts))
        paths.append(root.filePath(p));
    return paths;
}

// Every entry's slot holds a path whose name is the entry's text, and the
// store holds exactly as many paths as the list has entries.
void checkInvariant(const WindowUnderTest& w) {
    const FileList& files = w.dialog->fileList();
    QCOMPARE(files.store().count(), files.count());
    QSet<int> seen;
    for (int i = 0; i < files.count(); ++i) {
        const int slot = files.slotAt(i);
        QVERIFY(!seen.contains(slot));
        seen.insert(slot);
        QCOMPARE(FileList::displayName(files.pathAt(i)), w.list()->item(i)->text());
    }
}

int positionOf(const WindowUnderTest& w, const QString& path) {
    for (int i = 0; i < w.dialog->fileList().count(); ++i) {
        if (w.dialog->fileList().pathAt(i) == path)
            return i;
    }
    return -1;
}

} // namespace

class TestWindowFileList : public QObject {
    Q_OBJECT
private slots:
    void addingSteps_data();
    void addingSteps();
    void dropKeepsSelectionAndFields();
    void openFilesShortcut();
    void fileArguments_data();
    void fileArguments();
    void slotsAreReused();
    void selectionRefresh_data();
    void selectionRefresh();
    void fileInTheRootFolder();
    void unreadableSelectionKeepsFields();
    void keyboardSelectionRefreshes();
    void removeItem_data();
    void removeItem();
    void removeAllKeepsFields();
};

void TestWindowFileList::addingSteps_data() {
    QTest::addColumn<QStringList>("create");
    QTest::addColumn<QStringList>("drops"); // one drop each, paths joined by "|"
    QTest::addColumn<int>("target");        // the control dropped on; 0: the window
    QTest::addColumn<QStringList>("names");

    QTest::newRow("a folder with two files")
        << QStringList{"a.mp3", "b.mp3", "sub/", "sub/c.mp3"} << QStringList{"sub|a.mp3|b.mp3"} << 0
        << QStringList{"a.mp3", "b.mp3"};
    QTest::newRow("case variant in the same drop")
        << QStringList{"A/Song.mp3", "a/song.MP3"} << QStringList{"A/Song.mp3|a/song.MP3"} << 0
        << QStringList{"Song.mp3"};
    QTest::newRow("case variant in a later drop")
        << QStringList{"A/Song.mp3", "a/song.MP3"} << QStringList{"A/Song.mp3", "a/song.MP3"} << 0
        << QStringList{"Song.mp3"};
    QTest::newRow("the same file twice")
        << QStringList{"a.mp3"} << QStringList{"a.mp3", "a.mp3|a.mp3"} << 0 << QStringList{"a.mp3"};
    QTest::newRow("same name in two folders")
        << QStringList{"A/x.mp3", "B/x.mp3"} << QStringList{"A/x.mp3|B/x.mp3"} << 0
        << QStringList{"x.mp3", "x.mp3"};
    QTest::newRow("any file, no extension filter")
        << QStringList{"cover.jpg", "notes"} << QStringList{"cover.jpg|notes"} << 0
        << QStringList{"cover.jpg", "notes"};
    QTest::newRow("missing path") << QStringList{"a.mp3"} << QStringList{"gone.mp3|a.mp3"} << 0
                                  << QStringList{"a.mp3"};
    QTest::newRow("only a folder")
        << QStringList{"sub/", "sub/a.mp3"} << QStringList{"sub"} << 0 << QStringList{};
    QTest::newRow("sorted by name, not by folder or drop order")
        << QStringList{"z/a.mp3", "a/z.mp3", "m.mp3"} << QStringList{"a/z.mp3|m.mp3|z/a.mp3"} << 0
        << QStringList{"a.mp3", "m.mp3", "z.mp3"};
    QTest::newRow("dropped on an edit box") << QStringList{"a.mp3"} << QStringList{"a.mp3"}
                                            << fieldEditId(FieldTitle) << QStringList{"a.mp3"};
    QTest::newRow("dropped on the list") << QStringList{"a.mp3"} << QStringList{"a.mp3"}
                                         << int(IDC_FILELIST) << QStringList{"a.mp3"};
}

void TestWindowFileList::addingSteps() {
    QFETCH(QStringList, create);
    QFETCH(QStringList, drops);
    QFETCH(int, target);
    QFETCH(QStringList, names);

    QTemporaryDir dir;
    const QDir root(dir.path());
    createAll(root, create);
    WindowUnderTest w;
    QWidget* on = target ? w.dialog->controls().widget(target) : w.dialog.get();
    w.list()->setFocus();
    for (const QString& drop : drops)
        dropFiles(on, under(root, drop));

    QCOMPARE(w.names(), names);
    checkInvariant(w);
    QCOMPARE(w.dialog->fileList().selectedPosition(), -1);
    QCOMPARE(w.dialog->focusWidget(), w.dialog->controls().widget(fieldEditId(FieldFilename)));
    // Nothing is read or typed: the fields stay empty, and nothing is said.
    for (int f = 0; f < FieldCount; ++f)
        QCOMPARE(w.shown(f), QString());
    QVERIFY(w.seam.shown.isEmpty());
}

void TestWindowFileList::dropKeepsSelectionAndFields() {
    QTemporaryDir dir;
    const QDir root(dir.path());
    QVERIFY(writeTaggedFile(root.filePath("m.mp3"), "TIT2=Middle"));
    QVERIFY(writeTaggedFile(root.filePath("a.mp3"), "TIT2=First"));
    WindowUnderTest w;
    dropFiles(w.dialog.get(), {root.filePath("m.mp3")});
    w.userSelects(0);
    QCOMPARE(w.shown(FieldTitle), QStringLiteral("Middle"));

    // The new entry sorts before the selected one; the selection follows it.
    dropFiles(w.dialog.get(), {root.filePath("a.mp3")});
    QCOMPARE(w.names(), (QStringList{"a.mp3", "m.mp3"}));
    QCOMPARE(w.dialog->fileList().selectedPath(), root.filePath("m.mp3"));
    QCOMPARE(w.shown(FieldTitle), QStringLiteral("Middle"));
    QCOMPARE(w.dialog->tagInfo().path, root.filePath("m.mp3"));
}

void TestWindowFileList::openFilesShortcut() {
    QTemporaryDir dir;
    const QDir root(dir.path());
    createAll(root, {"b.mp3", "a.mp3"});
    WindowUnderTest w;
    w.dialog->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.dialog.get()));

    w.seam.openAnswers.enqueue({}); // Cancel
    w.seam.openAnswers.enqueue({root.filePath("b.mp3"), root.filePath("a.mp3"), root.path()});
    QTest::keyClick(w.dialog.get(), Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(w.seam.kinds(), QStringList{"open"});
    QCOMPARE(w.names(), QStringList{});
    QTest::keyClick(w.dialog.get(), Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(w.seam.kinds(), (QStringList{"open", "open"}));
    QCOMPARE(w.names(), (QStringList{"a.mp3", "b.mp3"}));
    QCOMPARE(QApplication::focusWidget(), w.dialog->controls().widget(fieldEditId(FieldFilename)));
}

void TestWindowFileList::fileArguments_data() {
    QTest::addColumn<QStringList>("arguments"); // after the program's name; {dir}: test folder
    QTest::addColumn<QStringList>("paths");     // {dir}: the test folder
    QTest::addColumn<QStringList>("names");

    QTest::newRow("relative to the working folder")
        << QStringList{"a.mp3", "./sub/b.mp3", "sub/../c.mp3"}
        << QStringList{"{dir}/a.mp3", "{dir}/sub/b.mp3", "{dir}/c.mp3"}
        << QStringList{"a.mp3", "b.mp3", "c.mp3"};
    QTest::newRow("absolute paths stay as given")
        << QStringList{"{dir}/a.mp3", "{dir}/sub/../c.mp3"}
        << QStringList{"{dir}/a.mp3", "{dir}/sub/../c.mp3"} << QStringList{"a.mp3", "c.mp3"};
    QTest::newRow("folders and missing files are skipped")
        << QStringList{"sub", "gone.mp3", "", "c.mp3"}
        << QStringList{"{dir}/sub", "{dir}/gone.mp3", "{dir}/c.mp3"} << QStringList{"c.mp3"};
    QTest::newRow("no arguments") << QStringList{} << QStringList{} << QStringList{};
}

void TestWindowFileList::fileArguments() {
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, paths);
    QFETCH(QStringList, names);

    QTemporaryDir dir;
    const QDir root(dir.path());
    createAll(root, {"a.mp3", "sub/b.mp3", "c.mp3"});
    const QString working = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    QStringList argv{QStringLiteral("quorvel")};
    for (const QString& a : arguments)
        argv.append(QString(a).replace(QStringLiteral("{dir}"), dir.path()));
    const QStringList files = CQuorvelApp::fileArguments(argv);
    QVERIFY(QDir::setCurrent(working));

    QStringList expected;
    for (const QString& p : paths)
        expected.append(QString(p).replace(QStringLiteral("{dir}"), dir.path()));
    QCOMPARE(files, expected);
    WindowUnderTest w;
    w.dialog->addFiles(files);
    QCOMPARE(w.names(), names);
}

void TestWindowFileList::slotsAreReused() {
    QTemporaryDir dir;
    const QDir root(dir.path());
    createAll(root, {"a.mp3", "b.mp3", "c.mp3", "d.mp3", "e.mp3", "f.mp3"});
    WindowUnderTest w;
    const FileList& files = w.dialog->fileList();
    dropFiles(w.dialog.get(), under(root, "a.mp3|b.mp3|c.mp3|d.mp3"));
    for (int i = 0; i < 4; ++i)
        QCOMPARE(files.slotAt(i), i);
    QCOMPARE(files.store().capacity(), 4);

    w.userSelects(2);
    w.click(IDC_REMOVE_ITEM);
    QCOMPARE(files.store().path(2), QString());
    dropFiles(w.dialog.get(), under(root, "e.mp3"));
    QCOMPARE(files.slotAt(positionOf(w, root.filePath("e.mp3"))), 2);
    QCOMPARE(files.store().capacity(), 4);

    dropFiles(w.dialog.get(), under(root, "f.mp3"));
    QCOMPARE(files.slotAt(positionOf(w, root.filePath("f.mp3"))), 4);
    QCOMPARE(files.store().capacity(), 8);
    QCOMPARE(w.names(), (QStringList{"a.mp3", "b.mp3", "d.mp3", "e.mp3", "f.mp3"}));
    checkInvariant(w);
}

void TestWindowFileList::selectionRefresh_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("frames");
    QTest::addColumn<QStringList>("inputs"); // "{dir}" stands for the test folder

    QTest::newRow("no extension, dot in the folder")
        << "Music.Old/track"
        << "TIT2=Tune" << QStringList{"{dir}/Music.Old", "track", "", "Tune", "", "", "", ""};
    QTest::newRow("only the last dot cuts")
        << "x/01. Intro.mp3"
        << "" << QStringList{"{dir}/x", "01. Intro", "", "", "", "", "", ""};
    QTest::newRow("a leading dot is an extension")
        << ".hidden"
        << "" << QStringList{"{dir}", "", "", "", "", "", "", ""};
    QTest::newRow("all six frames")
        << "a.mp3"
        << "TPE1=Ann|TIT2=Song|TALB=Disc|TCON=Folk|TYER=1999|TRCK=7"
        << QStringList{"{dir}", "a", "Ann", "Song", "Disc", "Folk", "1999", "7"};
    QTest::newRow("no TPE1: TPE2")
        << "a.mp3"
        << "TPE2=Band" << QStringList{"{dir}", "a", "Band", "", "", "", "", ""};
    QTest::newRow("empty TPE1: TPE2")
        << "a.mp3"
        << "TPE1=|TPE2=Band" << QStringList{"{dir}", "a", "Band", "", "", "", "", ""};
    QTest::newRow("TPE1 and TPE2: TPE1")
        << "a.mp3"
        << "TPE2=Band|TPE1=Solo" << QStringList{"{dir}", "a", "Solo", "", "", "", "", ""};
    QTest::newRow("text as it stands")
        << "a.MP3"
        << "TIT2=  two  spaces " << QStringList{"{dir}", "a", "", "  two  spaces ", "", "", "", ""};
    QTest::newRow("a picture is read like any file")
        << "cover.jpg"
        << "" << QStringList{"{dir}", "cover", "", "", "", "", "", ""};
}

void TestWindowFileList::selectionRefresh() {
    QFETCH(QString, file);
    QFETCH(QString, frames);
    QFETCH(QStringList, inputs);

    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath(file);
    QVERIFY(writeTaggedFile(path, frames));
    WindowUnderTest w;
    dropFiles(w.dialog.get(), {path});
    // A stale Original row and Output row from before.
    w.dialog->controls().setText(IDC_ORIGINAL_EDIT, QStringLiteral("stale"));
    w.dialog->controls().setText(IDC_ORIGINAL_LABEL, QStringLiteral("Original  Title"));
    w.dialog->fieldGrid()[RowOutput].fill(QStringLiteral("stale"));

    w.userSelects(0);
    for (int f = 0; f < FieldCount; ++f) {
        const QString expected = inputs[f].replace(QStringLiteral("{dir}"), dir.path());
        QCOMPARE(w.dialog->fieldGrid()[RowInput][size_t(f)], expected);
        QCOMPARE(w.shown(f), expected);
    }
    QCOMPARE(w.dialog->controls().text(IDC_ORIGINAL_EDIT), QString());
    QCOMPARE(w.dialog->controls().text(IDC_ORIGINAL_LABEL), QString());
    // The quiet run composed the Output row from these inputs.
    QCOMPARE(w.dialog->fieldGrid()[RowOutput][FieldLocation],
             w.dialog->fieldGrid()[RowInput][FieldLocation]);
    QVERIFY(w.seam.shown.isEmpty());
    QCOMPARE(w.dialog->tagInfo().path, path);
}

void TestWindowFileList::fileInTheRootFolder() {
    const QString path =
        QStringLiteral("/quorvel-root-test-%1.mp3").arg(QCoreApplication::applicationPid());
    if (!writeTaggedFile(path, QStringLiteral("TIT2=Top")))
        QSKIP("the root folder is not writable here");
    WindowUnderTest w;
    dropFiles(w.dialog.get(), {path});
    w.userSelects(0);
    const FieldValues inputs = w.dialog->fieldGrid()[RowInput];
    QFile::remove(path);
    QCOMPARE(inputs[FieldLocation], QString());
    QCOMPARE(inputs[FieldFilename], QFileInfo(path).completeBaseName());
    QCOMPARE(inputs[FieldTitle], QStringLiteral("Top"));
}

void TestWindowFileList::unreadableSelectionKeepsFields() {
    QTemporaryDir dir;
    const QDir root(dir.path());
    QVERIFY(writeTaggedFile(root.filePath("a.mp3"), "TIT2=Kept"));
    QVERIFY(writeTaggedFile(root.filePath("b.mp3"), "TIT2=Never shown"));
    WindowUnderTest w;
    dropFiles(w.dialog.get(), under(root, "a.mp3|b.mp3"));
    w.userSelects(0);
    const FieldValues before = w.dialog->fieldGrid()[RowInput];
    QVERIFY(QFile::remove(root.filePath("b.mp3")));
    w.dialog->fieldGrid()[RowOutput][FieldTitle] = QStringLiteral("not recomposed");

    w.userSelects(1);
    QCOMPARE(w.dialog->fileList().selectedPosition(), 1);
    QCOMPARE(w.dialog->fieldGrid()[RowInput], before);
    QCOMPARE(w.shown(FieldTitle), QStringLiteral("Kept"));
    QCOMPARE(w.dialog->fieldGrid()[RowOutput][FieldTitle], QStringLiteral("not recomposed"));
    QVERIFY(w.seam.shown.isEmpty());
}

void TestWindowFileList::keyboardSelectionRefreshes() {
    QTemporaryDir dir;
    const QDir root(dir.path());
    QVERIFY(writeTaggedFile(root.filePath("a.mp3"), "TIT2=One"));
    QVERIFY(writeTaggedFile(root.filePath("b.mp3"), "TIT2=Two"));
    WindowUnderTest w;
    dropFiles(w.dialog.get(), under(root, "a.mp3|b.mp3"));
    w.userSelects(0);
    QTest::keyClick(w.list(), Qt::Key_Down);
    QCOMPARE(w.dialog->fileList().selectedPosition(), 1);
    QCOMPARE(w.shown(FieldTitle), QStringLiteral("Two"));
}

void TestWindowFileList::removeItem_data() {
    QTest::addColumn<int>("selected");
    QTest::addColumn<int>("selectedAfter");
    QTest::addColumn<QString>("titleAfter");
    QTest::addColumn<QStringList>("names");

    QTest::newRow("middle: the next one is shown")
        << 1 << 1 << "Third" << QStringList{"a.mp3", "c.mp3"};
    QTest::newRow("first") << 0 << 0 << "Second" << QStringList{"b.mp3", "c.mp3"};
    QTest::newRow("last: none selected, inputs empty")
        << 2 << -1 << "" << QStringList{"a.mp3", "b.mp3"};
    QTest::newRow("nothing selected: nothing happens")
        << -1 << -1 << "untouched" << QStringList{"a.mp3", "b.mp3", "c.mp3"};
}

void TestWindowFileList::removeItem() {
    QFETCH(int, selected);
    QFETCH(int, selectedAfter);
    QFETCH(QString, titleAfter);
    QFETCH(QStringList, names);

    QTemporaryDir dir;
    const QDir root(dir.path());
    QVERIFY(writeTaggedFile(root.filePath("a.mp3"), "TIT2=First"));
    QVERIFY(writeTaggedFile(root.filePath("b.mp3"), "TIT2=Second"));
    QVERIFY(writeTaggedFile(root.filePath("c.mp3"), "TIT2=Third"));
    WindowUnderTest w;
    dropFiles(w.dialog.get(), under(root, "a.mp3|b.mp3|c.mp3"));
    if (selected >= 0)
        w.userSelects(selected);
    else
        w.dialog->controls().setText(fieldEditId(FieldTitle), QStringLiteral("untouched"));

    w.click(IDC_REMOVE_ITEM);
    QCOMPARE(w.names(), names);
    QCOMPARE(w.dialog->fileList().selectedPosition(), selectedAfter);
    QCOMPARE(w.shown(FieldTitle), titleAfter);
    if (selectedAfter < 0 && selected >= 0) {
        for (int f = 0; f < FieldCount; ++f)
            QCOMPARE(w.shown(f), QString());
    }
    checkInvariant(w);
    QCOMPARE(w.dialog->fileList().store().capacity(), 4);
    // A removed file can be dropped again.
    dropFiles(w.dialog.get(), under(root, "a.mp3|b.mp3|c.mp3"));
    QCOMPARE(w.names(), (QStringList{"a.mp3", "b.mp3", "c.mp3"}));
}

void TestWindowFileList::removeAllKeepsFields() {
    QTemporaryDir dir;
    const QDir root(dir.path());
    QVERIFY(writeTaggedFile(root.filePath("a.mp3"), "TIT2=Shown"));
    QVERIFY(writeTaggedFile(root.filePath("b.mp3"), "TIT2=Other"));
    WindowUnderTest w;
    dropFiles(w.dialog.get(), under(root, "a.mp3|b.mp3"));
    w.userSelects(0);
    const FieldValues before = w.dialog->fieldGrid()[RowInput];

    w.click(IDC_REMOVE_ALL);
    QCOMPARE(w.names(), QStringList{});
    QCOMPARE(w.dialog->fileList().store().capacity(), 0);
    QCOMPARE(w.dialog->fieldGrid()[RowInput], before);
    QCOMPARE(w.shown(FieldTitle), QStringLiteral("Shown"));
    QCOMPARE(w.dialog->tagInfo().path, root.filePath("a.mp3"));

    dropFiles(w.dialog.get(), under(root, "b.mp3"));
    QCOMPARE(w.dialog->fileList().slotAt(0), 0);
    QCOMPARE(w.dialog->fileList().store().capacity(), 4);
}

QTEST_MAIN(TestWindowFileList)
#include "test_window_filelist.moc"
