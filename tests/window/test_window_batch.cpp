#include "apply/journal.h"
#include "clirun.h"
#include "filelisttestsupport.h"
#include "profiles/storename.h"
#include "window/historydialog.h"
#include "window/previewalldialog.h"

#include <QCheckBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QThread>

#include <atomic>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

// "Preview All" and "History" reached from the main window, on real files.
namespace {

using Stage = PreviewAllDialog::Stage;

// Formats typed on the Parse Input and Create Output pages and left there
// unsaved: "NN - Title.mp3" goes to {dir}/out/"Artist - Title.mp3" with
// the title and track from its name.
const QStringList SortIntoOut{"1 1 %# - %T", "1 3 ",   "1 7 ",  "2 0 {dir}/out",
                              "2 1 %A - %T", "2 3 %T", "2 7 %#"};

// A window listing in/<name> for each "name|frames", with the formats above
// typed in.
struct BatchWindow {
    QTemporaryDir dir;
    QDir root{dir.path()};
    WindowUnderTest w;
    QMap<QString, QByteArray> originals; // name -> bytes

    explicit BatchWindow(const QStringList& files) {
        QStringList paths;
        for (const QString& file : files) {
            const QString name = file.section(u'|', 0, 0);
            const QString frames = file.section(u'|', 1);
            const QString path = in(name);
            writeTaggedFile(path, frames);
            originals.insert(name, fixture::ReadFile(path));
            paths << path;
        }
        dropFiles(w.dialog.get(), paths);
        w.typeEdits(SortIntoOut, dir.path());
    }
    QString in(const QString& name) const { return root.filePath(QStringLiteral("in/") + name); }
    QString out(const QString& name) const { return root.filePath(QStringLiteral("out/") + name); }
    bool unchanged(const QString& name) const {
        return fixture::ReadFile(in(name)) == originals.value(name);
    }
    QStringList listedPaths() const {
        QStringList paths;
        for (int i = 0; i < w.dialog->fileList().count(); ++i)
            paths << w.dialog->fileList().pathAt(i);
        return paths;
    }
    // The list's entries marked as applied.
    int appliedMarks() const {
        int marked = 0;
        for (int i = 0; i < w.dialog->fileList().count(); ++i)
            marked += w.dialog->fileList().markAt(i) == FileList::Mark::Applied;
        return marked;
    }

    // Opens Preview All with the button and waits until every file is planned.
    PreviewAllDialog* preview() const {
        w.click(IDC_PREVIEW_ALL);
        auto* dialog = w.dialog->findChild<PreviewAllDialog*>();
        if (dialog && !waitFor(dialog, Stage::Planned))
            return nullptr;
        return dialog;
    }
    static bool waitFor(PreviewAllDialog* dialog, Stage stage) {
        return QTest::qWaitFor([&] { return dialog->stage() == stage; }, 30000);
    }
};

QStringList statuses(const PreviewAllDialog* dialog) {
    QStringList all;
    for (const BatchRow& row : dialog->model().rows())
        all << row.status();
    return all;
}

template <class T> T* named(QWidget* dialog, const QString& name) {
    for (T* w : dialog->findChildren<T*>()) {
        if (w->accessibleName() == name)
            return w;
    }
    return nullptr;
}

void press(QWidget* dialog, const QString& button) {
    QPushButton* b = named<QPushButton>(dialog, button);
    QVERIFY2(b && b->isEnabled(), qPrintable(button));
    b->click();
}

// Enter on the focused button, as a keyboard user clicks it.
void enter(QWidget* dialog, const QString& button) {
    QPushButton* b = named<QPushButton>(dialog, button);
    QVERIFY2(b && b->isEnabled(), qPrintable(button));
    b->setFocus();
    QTest::keyClick(b, Qt::Key_Return);
}

} // namespace

class TestWindowBatch : public QObject {
    Q_OBJECT
private slots:
    // Each test counts the runs it made.
    void init() { QDir(JournalFolder()).removeRecursively(); }
    void tableShowsWhatApplyWouldDo();
    void applyAllThenUndo();
    void cancelStopsAfterTheFileInHand();
    void closingWhileWorking_data();
    void closingWhileWorking();
    void historyListsCliAndWindowRuns();
    void undoAfterAnotherProgramsUndo_data();
    void undoAfterAnotherProgramsUndo();
    void keysOpenDialogs_data();
    void keysOpenDialogs();
};

void TestWindowBatch::tableShowsWhatApplyWouldDo() {
    BatchWindow b({"01 - Song.mp3|TPE1=Ann", "02 - Song.mp3|TPE1=Ann", "03 - Tune.mp3|TPE1=Bo",
                   "04 - Hymn.mp3|TPE1=Cy|TIT2=Old", "broken.mp3|TPE1=Eve", "notes.mp3|TPE1=Di"});
    QVERIFY(b.root.mkpath("out"));
    QVERIFY(fixture::WriteFile(b.out("Bo - Tune.mp3"), "occupied"));
    // Listed as an MP3 file, overwritten since.
    QVERIFY(fixture::WriteFile(b.in("broken.mp3"), "no audio in here"));
    b.originals["broken.mp3"] = "no audio in here";
    PreviewAllDialog* preview = b.preview();
    QVERIFY(preview);
    const BatchTableModel& model = preview->model();

    QCOMPARE(statuses(preview),
             (QStringList{"same target as 02 - Song.mp3", "same target as 01 - Song.mp3",
                          "target exists", "ready",
                          "not read: not MPEG audio (no MPEG audio frame after the tag)",
                          "format: %A - %T has invalid value %T"}));
    const BatchRow& ready = model.rows()[3];
    QCOMPARE(ready.newFolder, b.root.filePath("out"));
    QCOMPARE(ready.newName, QStringLiteral("Cy - Hymn.mp3"));
    QCOMPARE(ready.tags, QStringLiteral("Title: Old -> Hymn; Track:  -> 04"));
    QCOMPARE(model.index(3, BatchTableModel::FileColumn).data(Qt::ToolTipRole).toString(),
             b.in("04 - Hymn.mp3"));
    // Only the ready row is checked, and no other can be.
    for (int row = 0; row < model.rowCount(); ++row) {
        const QModelIndex box = model.index(row, BatchTableModel::FileColumn);
        QCOMPARE(box.data(Qt::CheckStateRole).value<Qt::CheckState>(),
                 row == 3 ? Qt::Checked : Qt::Unchecked);
        QCOMPARE(bool(model.flags(box) & Qt::ItemIsUserCheckable), row == 3);
    }
    QVERIFY(!const_cast<BatchTableModel&>(model).setData(
        model.index(0, BatchTableModel::FileColumn), Qt::Checked, Qt::CheckStateRole));

    auto* table = named<QTableView>(preview, "Batch");
    QVERIFY(table);
    named<QCheckBox>(preview, "Show problems only")->setChecked(true);
    QCOMPARE(table->model()->rowCount(), 5);
    for (int row = 0; row < 5; ++row)
        QVERIFY(table->model()->index(row, 0).data().toString() != "04 - Hymn.mp3");
    // Tab leads out of the table to the buttons, not from cell to cell (the
    // arrows do that): no keyboard user is caught in it.
    table->setCurrentIndex(table->model()->index(0, 0));
    QTest::keyClick(table, Qt::Key_Tab);
    QCOMPARE(table->currentIndex(), table->model()->index(0, 0));

    // A preview writes nothing.
    QCOMPARE(QDir(b.root.filePath("out")).entryList(QDir::Files), QStringList{"Bo - Tune.mp3"});
    for (const QString& name : b.originals.keys())
        QVERIFY(b.unchanged(name));
    QVERIFY(ReadJournalRuns().isEmpty());
}

void TestWindowBatch::applyAllThenUndo() {
    BatchWindow b({"01 - One.mp3|TPE1=Ann|TIT2=x", "02 - Two.mp3|TPE1=Bo", "03 - Three.mp3|TPE1=Cy",
                   "04 - Four.mp3|TPE1=Di", "05 - Five.mp3|TPE1=Eve"});
    QVERIFY(b.root.mkpath("out"));
    QVERIFY(fixture::WriteFile(b.out("Eve - Five.mp3"), "occupied"));
    PreviewAllDialog* preview = b.preview();
    QVERIFY(preview);

    // Sorted the other way round, the user unchecks "02 - Two.mp3".
    auto* table = named<QTableView>(preview, "Batch");
    table->sortByColumn(BatchTableModel::FileColumn, Qt::DescendingOrder);
    QAbstractItemModel* shown = table->model();
    QCOMPARE(shown->index(3, 0).data().toString(), QStringLiteral("02 - Two.mp3"));
    QVERIFY(shown->setData(shown->index(3, 0), Qt::Unchecked, Qt::CheckStateRole));
    QCOMPARE(preview->model().includedCount(), 3);

    enter(preview, "Apply All");
    QVERIFY(BatchWindow::waitFor(preview, Stage::Applied));
    // The focus went on with the stage, from Apply All to Cancel, then to
    // the table: not to Undo, where one more Enter would take the run back.
    QCOMPARE(preview->focusWidget(), table);
    QCOMPARE(statuses(preview),
             (QStringList{"done", "not included", "done", "done", "target exists"}));
    QCOMPARE(frameText(b.out("Ann - One.mp3"), "TIT2"), QStringLiteral("One"));
    QVERIFY(QFileInfo::exists(b.out("Cy - Three.mp3")));
    QVERIFY(QFileInfo::exists(b.out("Di - Four.mp3")));
    QVERIFY(b.unchanged("02 - Two.mp3"));
    QVERIFY(b.unchanged("05 - Five.mp3"));
    QCOMPARE(fixture::ReadFile(b.out("Eve - Five.mp3")), QByteArray("occupied"));
    // One run of the journal, holding exactly the applied files.
    const QList<JournalRun> runs = ReadJournalRuns();
    QCOMPARE(runs.size(), 1);
    QCOMPARE(runs.first().entries.size(), 3);
    QCOMPARE(runs.first().changedFiles(), 3);
    QCOMPARE(preview->runFile(), runs.first().file);
    // The list entries follow the moved files, sorted anew.
    QCOMPARE(b.listedPaths(),
             (QStringList{b.in("02 - Two.mp3"), b.in("05 - Five.mp3"), b.out("Ann - One.mp3"),
                          b.out("Cy - Three.mp3"), b.out("Di - Four.mp3")}));
    QCOMPARE(b.appliedMarks(), 3);
    QCOMPARE(b.w.dialog->fileList().markAt(2), FileList::Mark::Applied);

    // While another program takes the run back, Undo does nothing, says so
    // and stays offered.
    {
        const int other =
            ::open(QFile::encodeName(runs.first().bytesFile).constData(), O_RDONLY | O_CLOEXEC);
        QVERIFY(other >= 0);
        QCOMPARE(::flock(other, LOCK_EX), 0);
        press(preview, "Undo");
        QVERIFY(BatchWindow::waitFor(preview, Stage::Applied));
        ::close(other);
    }
    QString summary;
    for (const QLabel* label : preview->findChildren<QLabel*>()) {
        if (label->accessibleDescription() == QLatin1String("Summary"))
            summary = label->text();
    }
    QCOMPARE(summary, QStringLiteral("3 done, 0 failed, 0 cancelled; not undone: another program "
                                     "is undoing it"));
    QVERIFY(named<QPushButton>(preview, "Undo")->isEnabled());
    QVERIFY(QFileInfo::exists(b.out("Ann - One.mp3")));

    enter(preview, "Undo");
    QVERIFY(BatchWindow::waitFor(preview, Stage::Undone));
    QCOMPARE(statuses(preview),
             (QStringList{"undone", "not included", "undone", "undone", "target exists"}));
    QCOMPARE(named<QProgressBar>(preview, "Progress")->text(), QStringLiteral("3 of 3"));
    for (const QString& name : b.originals.keys())
        QVERIFY2(b.unchanged(name), qPrintable(name));
    QCOMPARE(QDir(b.root.filePath("out")).entryList(QDir::Files), QStringList{"Eve - Five.mp3"});
    QCOMPARE(b.listedPaths(),
             (QStringList{b.in("01 - One.mp3"), b.in("02 - Two.mp3"), b.in("03 - Three.mp3"),
                          b.in("04 - Four.mp3"), b.in("05 - Five.mp3")}));
    QCOMPARE(b.appliedMarks(), 0);
}

void TestWindowBatch::cancelStopsAfterTheFileInHand() {
    BatchWindow b({"01 - One.mp3|TPE1=Ann", "02 - Two.mp3|TPE1=Bo", "03 - Three.mp3|TPE1=Cy"});
    PreviewAllDialog* preview = b.preview();
    QVERIFY(preview);
    // The user presses Cancel while the first file is written.
    QPushButton* cancel = named<QPushButton>(preview, "Cancel");
    QVERIFY(cancel && !cancel->isEnabled());
    preview->setBetweenFilesHook([cancel](int row) {
        if (row == 0)
            QMetaObject::invokeMethod(cancel, "click", Qt::BlockingQueuedConnection);
    });
    press(preview, "Apply All");
    QVERIFY(BatchWindow::waitFor(preview, Stage::Applied));
    QCOMPARE(statuses(preview), (QStringList{"done", "cancelled", "cancelled"}));
    QVERIFY(QFileInfo::exists(b.out("Ann - One.mp3")));
    QVERIFY(b.unchanged("02 - Two.mp3"));
    QVERIFY(b.unchanged("03 - Three.mp3"));
    QCOMPARE(ReadJournalRuns().first().changedFiles(), 1);

    // What was done stays undoable.
    press(preview, "Undo");
    QVERIFY(BatchWindow::waitFor(preview, Stage::Undone));
    QCOMPARE(statuses(preview), (QStringList{"undone", "cancelled", "cancelled"}));
    QVERIFY(b.unchanged("01 - One.mp3"));
}

void TestWindowBatch::closingWhileWorking_data() {
    QTest::addColumn<QString>("when");
    QTest::newRow("Close during Apply All") << "close";
    QTest::newRow("main window destroyed during Apply All") << "destroy";
}

// Closing stops the run after the file in hand, and the dialog waits for it:
// no thread outlives it (Qt aborts on one that does, ASan on what it uses).
void TestWindowBatch::closingWhileWorking() {
    QFETCH(QString, when);
    BatchWindow b({"01 - One.mp3|TPE1=Ann", "02 - Two.mp3|TPE1=Bo", "03 - Three.mp3|TPE1=Cy"});
    QPointer<PreviewAllDialog> preview = b.preview();
    QVERIFY(preview);
    std::atomic<bool> destroying = false;
    preview->setBetweenFilesHook([&, dialog = preview.data()](int row) {
        if (row != 0)
            return;
        if (when == QLatin1String("close")) {
            QMetaObject::invokeMethod(dialog, "reject", Qt::BlockingQueuedConnection);
            return;
        }
        // The window goes while this job is still inside the run.
        QMetaObject::invokeMethod(
            qApp,
            [&] {
                destroying = true;
                b.w.dialog.reset();
            },
            Qt::QueuedConnection);
        while (!destroying)
            QThread::msleep(5);
        QThread::msleep(100);
    });
    press(preview, "Apply All");
    QTRY_VERIFY_WITH_TIMEOUT(preview.isNull(), 30000);
    QCOMPARE(ReadJournalRuns().first().changedFiles(), 1);
    QVERIFY(b.unchanged("02 - Two.mp3"));
    QVERIFY(b.unchanged("03 - Three.mp3"));
    if (b.w.dialog) // the list follows the file moved before the close
        QCOMPARE(b.listedPaths().last(), b.out("Ann - One.mp3"));
}

void TestWindowBatch::historyListsCliAndWindowRuns() {
    BatchWindow b({"01 - Win.mp3|TPE1=Ann"});
    // quorvel-cli named after this program keeps the same journal.
    const QString cli = b.dir.filePath(storeApplicationName(QCoreApplication::arguments().first()) +
                                       QStringLiteral("-cli"));
    QVERIFY(QFile::link(QStringLiteral(QUORVEL_CLI_PATH), cli));
    const QString cliFile = b.in("cli.mp3");
    QVERIFY(writeTaggedFile(cliFile, "TPE1=Cli"));
    const QByteArray cliOriginal = fixture::ReadFile(cliFile);
    const CliRun applied = RunCli(
        {"apply", "--case", "keep", "--create", "location=" + b.root.filePath("cli-out"), cliFile},
        {}, cli);
    QCOMPARE(applied.status, 0);
    PreviewAllDialog* preview = b.preview();
    QVERIFY(preview);
    press(preview, "Apply All");
    QVERIFY(BatchWindow::waitFor(preview, Stage::Applied));
    press(preview, "Close");
    const QList<JournalRun> runs = ReadJournalRuns();
    QCOMPARE(runs.size(), 2);

    // From the context menu; Ctrl+H triggers the same action.
    std::unique_ptr<QMenu> menu(b.w.dialog->createContextMenu());
    QAction* history = nullptr;
    for (QAction* a : menu->actions()) {
        if (a->text() == QLatin1String("&History..."))
            history = a;
    }
    QVERIFY(history);
    QCOMPARE(history->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_H));
    history->trigger();
    auto* dialog = b.w.dialog->findChild<HistoryDialog*>();
    QVERIFY(dialog);
    QTRY_VERIFY(!dialog->isWorking());
    auto* runTable = named<QTableWidget>(dialog, "Runs");
    QCOMPARE(runTable->rowCount(), 2);
    const auto cell = [](QTableWidget* t, int row, int column) {
        return t->item(row, column)->text();
    };
    // Newest first: the window's run, then quorvel-cli's.
    for (int row = 0; row < 2; ++row) {
        QCOMPARE(cell(runTable, row, 1), runs[row].id);
        QCOMPARE(cell(runTable, row, 2), QStringLiteral("1"));
        QCOMPARE(cell(runTable, row, 3), QStringLiteral("applied"));
    }
    // Tab leaves the list of runs; it does not step through its cells.
    const QModelIndex first = runTable->currentIndex();
    QTest::keyClick(runTable, Qt::Key_Tab);
    QCOMPARE(runTable->currentIndex(), first);
    // A run's files are read when it is chosen.
    auto* fileTable = named<QTableWidget>(dialog, "Files of the run");
    QCOMPARE(fileTable->rowCount(), 1);
    const QString windowFile = cell(fileTable, 0, 0);
    QVERIFY(windowFile != cliFile);
    runTable->selectRow(1);
    QTRY_VERIFY(!dialog->isWorking());
    QCOMPARE(fileTable->rowCount(), 1);
    QCOMPARE(cell(fileTable, 0, 0), cliFile);
    QCOMPARE(cell(fileTable, 0, 1), b.root.filePath("cli-out/cli.mp3"));
    runTable->selectRow(0);
    QTRY_VERIFY(!dialog->isWorking());
    QCOMPARE(cell(fileTable, 0, 0), windowFile);
    runTable->selectRow(1);
    QTRY_VERIFY(!dialog->isWorking());

    enter(dialog, "Undo");
    QTRY_VERIFY(!dialog->isWorking());
    QCOMPARE(dialog->focusWidget(), runTable);
    QCOMPARE(cell(runTable, 1, 3), QStringLiteral("undone"));
    QCOMPARE(cell(fileTable, 0, 2), QStringLiteral("undone"));
    QCOMPARE(fixture::ReadFile(cliFile), cliOriginal);
    QVERIFY(!named<QPushButton>(dialog, "Undo")->isEnabled());
    const QJsonArray listed =
        QJsonDocument::fromJson(RunCli({"history", "--json"}, {}, cli).out).array();
    QCOMPARE(listed.size(), 2);
    QCOMPARE(listed[1]["undone"].toBool(), true);
    QCOMPARE(listed[0]["undone"].toBool(), false);

    // An undo cut off after its file came back, before it removed the run's
    // folder and recorded its end: shown so, and finished by Undo.
    delete dialog;
    QVERIFY(QDir().mkpath(b.root.filePath("cli-out")));
    QByteArrayList lines = fixture::ReadFile(runs[1].file).split('\n');
    lines.removeIf([](const QByteArray& l) { return l.contains("\"type\":\"undo\""); });
    QVERIFY(fixture::WriteFile(runs[1].file, lines.join('\n')));
    history->trigger();
    dialog = b.w.dialog->findChild<HistoryDialog*>();
    QVERIFY(dialog);
    QTRY_VERIFY(!dialog->isWorking());
    runTable = named<QTableWidget>(dialog, "Runs");
    QCOMPARE(cell(runTable, 1, 3), QStringLiteral("undo unfinished"));
    runTable->selectRow(1);
    QTRY_VERIFY(!dialog->isWorking());
    enter(dialog, "Undo");
    QTRY_VERIFY(!dialog->isWorking());
    QCOMPARE(cell(runTable, 1, 3), QStringLiteral("undone"));
    QVERIFY(!QFileInfo::exists(b.root.filePath("cli-out")));
}

// Another program took the run back while a dialog showed it applied: the
// dialog's Undo shows its files undone and the list follows them back,
// rather than "undone" beside rows still applied and entries whose paths
// are gone.
void TestWindowBatch::undoAfterAnotherProgramsUndo_data() {
    QTest::addColumn<bool>("fromHistory");
    QTest::newRow("Preview All") << false;
    QTest::newRow("History") << true;
}

void TestWindowBatch::undoAfterAnotherProgramsUndo() {
    QFETCH(bool, fromHistory);
    BatchWindow b({"01 - One.mp3|TPE1=Ann", "02 - Two.mp3|TPE1=Bo"});
    PreviewAllDialog* preview = b.preview();
    QVERIFY(preview);
    press(preview, "Apply All");
    QVERIFY(BatchWindow::waitFor(preview, Stage::Applied));
    QCOMPARE(b.appliedMarks(), 2);
    HistoryDialog* history = nullptr;
    if (fromHistory) {
        press(preview, "Close");
        std::unique_ptr<QMenu> menu(b.w.dialog->createContextMenu());
        for (QAction* a : menu->actions()) {
            if (a->text() == QLatin1String("&History..."))
                a->trigger();
        }
        history = b.w.dialog->findChild<HistoryDialog*>();
        QVERIFY(history);
        QTRY_VERIFY(!history->isWorking());
    }
    // The other program's undo, one file at a time: the first undo leaves
    // the second file, changed meanwhile; the second takes it back.
    const QString journal = ReadJournalRuns().value(0).file;
    const QByteArray applied = fixture::ReadFile(b.out("Bo - Two.mp3"));
    QVERIFY(fixture::WriteFile(b.out("Bo - Two.mp3"), applied + "edited"));
    QVERIFY(!UndoRun(ReadJournalRun(journal)).ok);
    QVERIFY(fixture::WriteFile(b.out("Bo - Two.mp3"), applied));
    QVERIFY(UndoRun(ReadJournalRun(journal)).ok);

    if (fromHistory) {
        enter(history, "Undo");
        QTRY_VERIFY(!history->isWorking());
        auto* runTable = named<QTableWidget>(history, "Runs");
        auto* fileTable = named<QTableWidget>(history, "Files of the run");
        QCOMPARE(runTable->item(0, 3)->text(), QStringLiteral("undone"));
        for (int row = 0; row < fileTable->rowCount(); ++row)
            QCOMPARE(fileTable->item(row, 2)->text(), QStringLiteral("undone"));
        QVERIFY(!named<QPushButton>(history, "Undo")->isEnabled());
    } else {
        enter(preview, "Undo");
        QVERIFY(BatchWindow::waitFor(preview, Stage::Undone));
        QCOMPARE(statuses(preview), (QStringList{"undone", "undone"}));
    }
    for (const QString& path : b.listedPaths())
        QVERIFY2(QFileInfo::exists(path), qPrintable(path));
    QCOMPARE(b.listedPaths(), (QStringList{b.in("01 - One.mp3"), b.in("02 - Two.mp3")}));
    QCOMPARE(b.appliedMarks(), 0);
}

void TestWindowBatch::keysOpenDialogs_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("title");
    QTest::newRow("Ctrl+P") << int(Qt::Key_P) << "Preview All";
    QTest::newRow("Ctrl+H") << int(Qt::Key_H) << "History";
}

void TestWindowBatch::keysOpenDialogs() {
    QFETCH(int, key);
    QFETCH(QString, title);
    WindowUnderTest w;
    QVERIFY(QTest::qWaitForWindowActive(w.dialog.get()));
    // From any page: the Create Output page hides the file list.
    w.clickPage(RowCreate);
    QTest::keyClick(w.dialog.get(), Qt::Key(key), Qt::ControlModifier);
    const QList<QDialog*> opened = w.dialog->findChildren<QDialog*>();
    QCOMPARE(opened.size(), 1);
    QCOMPARE(opened.first()->windowTitle(), title);
    QVERIFY(opened.first()->isVisible());
}

QTEST_MAIN(TestWindowBatch)
#include "test_window_batch.moc"
