#include "app/quorvelapp.h"
#include "filelisttestsupport.h"

#include "window/listbox.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

// Creates each path under root: a trailing "/" makes a folder; "PATH:flac",
// "PATH:text" and "PATH:fifo" make a FLAC stream behind an ID3v2 tag, a
// text file and a FIFO; anything else a tagged MP3 file named after itself.
void createAll(const QDir& root, const QStringList& paths) {
    for (const QString& entry : paths) {
        const QString path = root.filePath(entry.section(QLatin1Char(':'), 0, 0));
        const QString kind = entry.section(QLatin1Char(':'), 1);
        QVERIFY(root.mkpath(QFileInfo(path).path()));
        if (entry.endsWith(QLatin1Char('/'))) {
            QVERIFY(root.mkpath(path));
        } else if (kind == QLatin1String("flac")) {
            fixture::Tag tag;
            tag.frames = {{"TIT2", fixture::TextBody(0, QStringLiteral("Song"))}};
            QVERIFY(fixture::WriteFile(path, fixture::BuildTag(tag) + "fLaC\0\0\0\x22" +
                                                 QByteArray(600, 'x')));
        } else if (kind == QLatin1String("text")) {
            QVERIFY(fixture::WriteFile(path, QByteArray("just some words\n").repeated(40)));
        } else if (kind == QLatin1String("fifo")) {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else {
            QVERIFY(writeTaggedFile(path, QStringLiteral("TIT2=") + entry));
        }
    }
}

QStringList under(const QDir& root, const QString& joined) {
    QStringList paths;
    for (const QString& p : joined.split(QLatin1Char('|'), Qt::SkipEmptyParts))
        paths.append(root.filePath(p));
    return paths;
}

// Every entry's slot holds a path whose name is the entry's text and whose
// whole is its tooltip, and the store holds exactly as many paths as the
// list has entries.
void checkInvariant(const WindowUnderTest& w) {
    const FileList& files = w.dialog->fileList();
    QCOMPARE(files.store().count(), files.count());
    QSet<int> seen;
    for (int i = 0; i < files.count(); ++i) {
        const int slot = files.slotAt(i);
        QVERIFY(!seen.contains(slot));
        seen.insert(slot);
        QCOMPARE(FileList::displayName(files.pathAt(i)), w.list()->item(i)->text());
        QCOMPARE(w.list()->item(i)->toolTip(), files.pathAt(i));
    }
}

// The listed paths in the order they were added: a fresh store fills its
// slots from 0 upward.
QStringList pathsBySlot(const WindowUnderTest& w, const QDir& root) {
    QStringList paths;
    for (int slot = 0; slot < w.dialog->fileList().store().capacity(); ++slot) {
        const QString path = w.dialog->fileList().store().path(slot);
        if (!path.isEmpty())
            paths.append(root.relativeFilePath(path));
    }
    return paths;
}

// Whether the middle band of the list's box, where the hint stands and
// where a short list has no entries, holds anything but the background.
bool inkInMiddle(QListWidget* list) {
    const QImage image = list->viewport()->grab().toImage();
    const QRgb base = list->palette().color(QPalette::Base).rgb();
    for (int y = image.height() * 2 / 5; y < image.height() * 3 / 5; ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != base)
                return true;
        }
    }
    return false;
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
    void droppedUrls_data();
    void droppedUrls();
    void openFilesShortcut();
    void addFolderThroughTheSeam();
    void addingAnswersUnderTheBusyCursor();
    void emptyListHint();
    void fileArguments_data();
    void fileArguments();
    void asksForHelp_data();
    void asksForHelp();
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
    QTest::addColumn<QStringList>("added"); // the paths listed, in the order added

    QTest::newRow("a folder and two files")
        << QStringList{"a.mp3", "b.mp3", "sub/", "sub/c.mp3"} << QStringList{"sub|a.mp3|b.mp3"} << 0
        << QStringList{"a.mp3", "b.mp3", "c.mp3"} << QStringList{"sub/c.mp3", "a.mp3", "b.mp3"};
    QTest::newRow("case variant in the same drop")
        << QStringList{"A/Song.mp3", "a/song.MP3"} << QStringList{"A/Song.mp3|a/song.MP3"} << 0
        << QStringList{"Song.mp3"} << QStringList{"A/Song.mp3"};
    QTest::newRow("case variant in a later drop")
        << QStringList{"A/Song.mp3", "a/song.MP3"} << QStringList{"A/Song.mp3", "a/song.MP3"} << 0
        << QStringList{"Song.mp3"} << QStringList{"A/Song.mp3"};
    QTest::newRow("the same file twice")
        << QStringList{"a.mp3"} << QStringList{"a.mp3", "a.mp3|a.mp3"} << 0 << QStringList{"a.mp3"}
        << QStringList{"a.mp3"};
    QTest::newRow("same name in two folders")
        << QStringList{"A/x.mp3", "B/x.mp3"} << QStringList{"A/x.mp3|B/x.mp3"} << 0
        << QStringList{"x.mp3", "x.mp3"} << QStringList{"A/x.mp3", "B/x.mp3"};
    QTest::newRow("a dropped file: content counts, not its name")
        << QStringList{"cover.jpg", "notes"} << QStringList{"cover.jpg|notes"} << 0
        << QStringList{"cover.jpg", "notes"} << QStringList{"cover.jpg", "notes"};
    QTest::newRow("missing path") << QStringList{"a.mp3"} << QStringList{"gone.mp3|a.mp3"} << 0
                                  << QStringList{"a.mp3"} << QStringList{"a.mp3"};
    QTest::newRow("only a folder") << QStringList{"sub/", "sub/a.mp3"} << QStringList{"sub"} << 0
                                   << QStringList{"a.mp3"} << QStringList{"sub/a.mp3"};
    QTest::newRow("sorted by name, not by folder or drop order")
        << QStringList{"z/a.mp3", "a/z.mp3", "m.mp3"} << QStringList{"a/z.mp3|m.mp3|z/a.mp3"} << 0
        << QStringList{"a.mp3", "m.mp3", "z.mp3"} << QStringList{"a/z.mp3", "m.mp3", "z/a.mp3"};
    QTest::newRow("letter case ignored, numbers by value")
        << QStringList{"b.mp3", "A.mp3", "c.mp3", "B2.mp3", "10.mp3", "9.mp3"}
        << QStringList{"c.mp3|b.mp3|B2.mp3|A.mp3|10.mp3|9.mp3"} << 0
        << QStringList{"9.mp3", "10.mp3", "A.mp3", "b.mp3", "B2.mp3", "c.mp3"}
        << QStringList{"c.mp3", "b.mp3", "B2.mp3", "A.mp3", "10.mp3", "9.mp3"};
    QTest::newRow("names equal but for case: capital first, whatever the drop order")
        << QStringList{"x/b.mp3", "y/B.mp3"} << QStringList{"x/b.mp3|y/B.mp3"} << 0
        << QStringList{"B.mp3", "b.mp3"} << QStringList{"x/b.mp3", "y/B.mp3"};
    QTest::newRow("a folder's files and subfolders, in the order of their paths")
        << QStringList{"in/b.mp3",      "in/A.mp3",    "in/sub/c.mp3", "in/sub/deeper/d.MP3",
                       "in/Sub2/e.Mp3", "in/10 x.mp3", "in/9 x.mp3"}
        << QStringList{"in"} << 0
        << QStringList{"9 x.mp3", "10 x.mp3", "A.mp3", "b.mp3", "c.mp3", "d.MP3", "e.Mp3"}
        << QStringList{"in/9 x.mp3",   "in/10 x.mp3",         "in/A.mp3",     "in/b.mp3",
                       "in/sub/c.mp3", "in/sub/deeper/d.MP3", "in/Sub2/e.Mp3"};
    QTest::newRow("a folder gives only MPEG audio named .mp3, hidden folders skipped")
        << QStringList{"in/a.mp3",          "in/flacNamedMp3.mp3:flac",
                       "in/notes.mp3:text", "in/notes.txt:text",
                       "in/cover.jpg",      "in/.hidden/h.mp3",
                       "in/song.mp3/",      "in/pipe.mp3:fifo"}
        << QStringList{"in"} << 0 << QStringList{"a.mp3"} << QStringList{"in/a.mp3"};
    QTest::newRow("a dropped file that is not MPEG audio, or a FIFO, is skipped")
        << QStringList{"flacNamedMp3.mp3:flac", "text.mp3:text", "pipe.mp3:fifo", "a.mp3"}
        << QStringList{"flacNamedMp3.mp3|text.mp3|pipe.mp3|a.mp3"} << 0 << QStringList{"a.mp3"}
        << QStringList{"a.mp3"};
    QTest::newRow("dropped on an edit box")
        << QStringList{"a.mp3"} << QStringList{"a.mp3"} << fieldEditId(FieldTitle)
        << QStringList{"a.mp3"} << QStringList{"a.mp3"};
    QTest::newRow("dropped on the separator box")
        << QStringList{"a.mp3"} << QStringList{"a.mp3"} << int(IDC_SEPARATOR)
        << QStringList{"a.mp3"} << QStringList{"a.mp3"};
    QTest::newRow("dropped on the list")
        << QStringList{"a.mp3"} << QStringList{"a.mp3"} << int(IDC_FILELIST) << QStringList{"a.mp3"}
        << QStringList{"a.mp3"};
}

void TestWindowFileList::addingSteps() {
    QFETCH(QStringList, create);
    QFETCH(QStringList, drops);
    QFETCH(int, target);
    QFETCH(QStringList, names);
    QFETCH(QStringList, added);

    QTemporaryDir dir;
    const QDir root(dir.path());
    createAll(root, create);
    WindowUnderTest w;
    QWidget* on = target ? w.dialog->controls().widget(target) : w.dialog.get();
    if (target == IDC_SEPARATOR) {
        // A case that splits words: the box takes typing then.
        w.dialog->controls().as<QComboBox>(IDC_CASE)->setCurrentIndex(CaseKeep == 0 ? 1 : 0);
        QVERIFY(on->isEnabled());
        on = w.dialog->controls().as<QComboBox>(IDC_SEPARATOR)->lineEdit(); // where it lands
        QVERIFY(on);
    }
    w.list()->setFocus();
    for (const QString& drop : drops)
        QVERIFY(dropFiles(on, under(root, drop)));

    QCOMPARE(w.names(), names);
    QCOMPARE(pathsBySlot(w, root), added);
    checkInvariant(w);
    QCOMPARE(w.dialog->fileList().selectedPosition(), -1);
    QCOMPARE(w.dialog->focusWidget(), w.dialog->controls().widget(fieldEditId(FieldFilename)));
    // Nothing is read or typed: the fields stay empty, and nothing is said.
    for (int f = 0; f < FieldCount; ++f)
        QCOMPARE(w.shown(f), QString());
    QVERIFY(w.seam.shown.isEmpty());
}

void TestWindowFileList::droppedUrls_data() {
    QTest::addColumn<QString>("url"); // "{dir}" for the folder of the file
    QTest::addColumn<int>("listed");
    QTest::newRow("no host") << "file://{dir}/a.mp3" << 1;
    // "localhost" names this machine.
    QTest::newRow("localhost") << "file://localhost{dir}/a.mp3" << 1;
    QTest::newRow("another machine's share, not mounted") << "file://elsewhere{dir}/a.mp3" << 0;
}

void TestWindowFileList::droppedUrls() {
    QFETCH(QString, url);
    QFETCH(int, listed);
    QTemporaryDir dir;
    QVERIFY(writeTaggedFile(dir.filePath("a.mp3"), "TIT2=A"));
    WindowUnderTest w;
    sendDropUrls(w.dialog.get(), {QUrl(expandDir(url, dir.path()))});
    QVERIFY(waitForAdding(*w.dialog));
    QCOMPARE(w.dialog->fileList().count(), listed);
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
    QVERIFY(waitForAdding(*w.dialog));
    QCOMPARE(w.seam.kinds(), (QStringList{"open", "open"}));
    QCOMPARE(w.names(), (QStringList{"a.mp3", "b.mp3"}));
    QCOMPARE(QApplication::focusWidget(), w.dialog->controls().widget(fieldEditId(FieldFilename)));
}

void TestWindowFileList::addFolderThroughTheSeam() {
    QTemporaryDir dir;
    const QDir root(dir.path());
    createAll(root, {"in/b.mp3", "in/sub/a.mp3", "in/c.txt:text"});
    WindowUnderTest w;
    w.dialog->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.dialog.get()));
    w.seam.folderAnswers.enqueue({}); // Cancel
    w.seam.folderAnswers.enqueue(root.filePath("in"));
    QTest::keyClick(w.dialog.get(), Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(!w.dialog->isAddingFiles());
    // The same command in the window's context menu.
    std::unique_ptr<QMenu> menu(w.dialog->createContextMenu());
    QCOMPARE(menu->actions().at(1)->shortcut(), QKeySequence(QStringLiteral("Ctrl+Shift+O")));
    menu->actions().at(1)->trigger();
    QVERIFY(waitForAdding(*w.dialog));
    QCOMPARE(w.seam.kinds(), (QStringList{"folder", "folder"}));
    QCOMPARE(w.names(), (QStringList{"a.mp3", "b.mp3"}));
    QCOMPARE(QApplication::focusWidget(), w.dialog->controls().widget(fieldEditId(FieldFilename)));
}

void TestWindowFileList::addingAnswersUnderTheBusyCursor() {
    QTemporaryDir dir;
    const QDir root(dir.path());
    const QByteArray mp3 = fixture::BuildFile(nullptr, 2);
    for (int i = 0; i < 300; ++i) {
        const QString folder = root.filePath(QStringLiteral("in/%1").arg(i % 7));
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(fixture::WriteFile(QStringLiteral("%1/%2.mp3").arg(folder).arg(i), mp3));
    }
    WindowUnderTest w;
    dropFiles(w.dialog.get(), {root.filePath("in/0/0.mp3"), root.filePath("in/1/1.mp3")});
    w.userSelects(0);

    // The drop returns at once; the worker's files arrive through the
    // event loop.
    QVERIFY(sendDrop(w.dialog.get(), {root.filePath("in")}));
    QVERIFY(w.dialog->isAddingFiles());
    QVERIFY(QGuiApplication::overrideCursor());
    QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::BusyCursor);
    QCOMPARE(w.dialog->fileList().count(), 2);
    // Meanwhile the window answers: the user selects, and the file is read.
    QTest::keyClick(w.list(), Qt::Key_Down);
    QCOMPARE(w.shown(FieldFilename), QStringLiteral("1"));

    QSignalSpy finished(w.dialog.get(), &CQuorvelDlg::addingFinished);
    QVERIFY(waitForAdding(*w.dialog));
    QCOMPARE(finished.size(), 1);
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    QCOMPARE(w.dialog->fileList().count(), 300);
    QCOMPARE(w.dialog->fileList().selectedPath(), root.filePath("in/1/1.mp3"));
    checkInvariant(w);

    // A window closed while its worker walks a folder stops it and waits.
    auto early = std::make_unique<CQuorvelDlg>(w.seam, w.temp.store);
    early->addFiles({root.filePath("in")});
    QVERIFY(early->isAddingFiles());
    early.reset();
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
}

void TestWindowFileList::emptyListHint() {
    QTemporaryDir dir;
    const QDir root(dir.path());
    createAll(root, {"a.mp3"});
    WindowUnderTest w;
    const QString hint = QStringLiteral("Drop MP3 files or folders here, or press Ctrl+O");
    auto* box = qobject_cast<ListBox*>(w.list());
    QVERIFY(box);
    QCOMPARE(box->placeholderText(), hint);
    QCOMPARE(w.list()->accessibleDescription(), hint);
    QVERIFY(inkInMiddle(w.list()));

    dropFiles(w.dialog.get(), {root.filePath("a.mp3")});
    QCOMPARE(w.list()->accessibleDescription(), QString());
    QVERIFY(!inkInMiddle(w.list()));
    w.click(IDC_REMOVE_ALL);
    QCOMPARE(w.list()->accessibleDescription(), hint);
    QVERIFY(inkInMiddle(w.list()));
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
    QTest::newRow("a folder gives its files, missing files are skipped")
        << QStringList{"sub", "gone.mp3", "", "c.mp3"}
        << QStringList{"{dir}/sub", "{dir}/gone.mp3", "{dir}/c.mp3"}
        << QStringList{"b.mp3", "c.mp3"};
    QTest::newRow("no arguments") << QStringList{} << QStringList{} << QStringList{};
    QTest::newRow("-- ends the options once")
        << QStringList{"--", "-d.mp3", "--"} << QStringList{"{dir}/-d.mp3", "{dir}/--"}
        << QStringList{"-d.mp3"};
}

void TestWindowFileList::asksForHelp_data() {
    QTest::addColumn<QStringList>("arguments"); // after the program's name
    QTest::addColumn<bool>("asks");
    QTest::newRow("--help") << QStringList{"--help"} << true;
    QTest::newRow("-h after a file") << QStringList{"a.mp3", "-h"} << true;
    QTest::newRow("after --, a file") << QStringList{"--", "--help"} << false;
    QTest::newRow("only the whole word") << QStringList{"--helpful"} << false;
}

void TestWindowFileList::asksForHelp() {
    QFETCH(QStringList, arguments);
    QFETCH(bool, asks);
    QCOMPARE(CQuorvelApp::asksForHelp(QStringList{"quorvel"} + arguments), asks);
}

void TestWindowFileList::fileArguments() {
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, paths);
    QFETCH(QStringList, names);

    QTemporaryDir dir;
    const QDir root(dir.path());
    createAll(root, {"a.mp3", "sub/b.mp3", "c.mp3", "-d.mp3"});
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
    QVERIFY(waitForAdding(*w.dialog));
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
    QTest::newRow("a picture's name holding MPEG audio is read like any file")
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
    // The selection cannot be taken away: not by a click beside the
    // entries, nor by Ctrl with the selected one (Ctrl+Space, Ctrl+click).
    QWidget* viewport = w.list()->viewport();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, QPoint(4, viewport->height() - 4));
    QTest::keyClick(w.list(), Qt::Key_Space, Qt::ControlModifier);
    const QRect second = w.list()->visualItemRect(w.list()->item(1));
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::ControlModifier, second.center());
    QCOMPARE(w.dialog->fileList().selectedPosition(), 1);
    QCOMPARE(w.list()->selectedItems().size(), 1);
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
