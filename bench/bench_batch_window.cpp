// Times "Preview All" and "Apply All" of the main window on COUNT real MP3
// files (default 10,000, made by the fixture builder in a temporary folder,
// not timed): how soon the dialog opens, how long until every file is
// planned, applied and undone, and the longest time the event loop was
// blocked meanwhile, measured by a 10 ms timer. Goal: no block over 100 ms.
// The same timer over two idle seconds first tells what the machine's other
// work alone costs the window. The journal and the settings go to the
// temporary folder too.

#include "fixtures.h"
#include "profiles/settingsstore.h"
#include "silentseam.h"
#include "window/controlids.h"
#include "window/previewalldialog.h"
#include "window/quorveldlg.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <algorithm>

namespace {

// The longest gap between two ticks of a 10 ms timer since the last reset.
class BlockMeter {
public:
    BlockMeter() {
        m_timer.setInterval(10);
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout,
                         [this] { m_longest = std::max(m_longest, m_clock.restart()); });
        m_timer.start();
        m_clock.start();
    }
    qint64 take() {
        const qint64 longest = std::max(m_longest, m_clock.elapsed());
        m_longest = 0;
        return longest;
    }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_longest = 0;
};

bool waitFor(PreviewAllDialog* dialog, PreviewAllDialog::Stage stage) {
    QEventLoop loop;
    QObject::connect(dialog, &PreviewAllDialog::stageChanged, &loop, [&] {
        if (dialog->stage() == stage)
            loop.quit();
    });
    if (dialog->stage() != stage)
        loop.exec();
    return dialog->stage() == stage;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir dir;
    const QDir root(dir.path());
    // Never the user's journal or settings.
    qputenv("XDG_STATE_HOME", root.filePath(QStringLiteral("state")).toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", root.filePath(QStringLiteral("config")).toLocal8Bit());
    QApplication app(argc, argv);
    const int count = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 10000;
    QTextStream out(stdout);

    QStringList paths;
    for (int i = 0; i < count; ++i) {
        const QString folder = QStringLiteral("in/Artist %1").arg(i % 100, 3, 10, QLatin1Char('0'));
        if (i < 100 && !root.mkpath(folder))
            return 1;
        fixture::Tag tag;
        tag.frames = {{"TPE1", fixture::TextBody(0, QStringLiteral("artist %1").arg(i % 100))},
                      {"TIT2", fixture::TextBody(0, QStringLiteral("song %1").arg(i))}};
        tag.padding = 256;
        const QString path = root.filePath(QStringLiteral("%1/%2.mp3").arg(folder).arg(i));
        if (!fixture::WriteFile(path, fixture::BuildFile(&tag, 4))) {
            out << "bench_batch_window: cannot create " << path << "\n";
            return 1;
        }
        paths << path;
    }

    SilentSeam seam;
    SettingsStore store(root.filePath(QStringLiteral("settings.ini")));
    CQuorvelDlg window(seam, store);
    window.show();
    window.addFiles(paths);
    while (window.isAddingFiles())
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    // Every file into out/<Artist>, its title in title case.
    window.switchPage(RowCreate);
    window.controls().setText(fieldEditId(FieldLocation), root.filePath(QStringLiteral("out/%A")));
    QApplication::processEvents();

    BlockMeter meter;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 2000)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    const qint64 idleBlock = meter.take();
    clock.restart();
    window.onPreviewAll();
    const qint64 openMs = clock.elapsed();
    auto* preview = window.findChild<PreviewAllDialog*>();
    if (!preview || !waitFor(preview, PreviewAllDialog::Stage::Planned))
        return 1;
    const qint64 previewMs = clock.elapsed();
    const qint64 previewBlock = meter.take();

    clock.restart();
    const int included = preview->model().includedCount();
    preview->applyAll();
    if (!waitFor(preview, PreviewAllDialog::Stage::Applied))
        return 1;
    const qint64 applyMs = clock.elapsed();
    const qint64 applyBlock = meter.take();
    const auto& rows = preview->model().rows();
    const auto done = std::count_if(
        rows.begin(), rows.end(), [](const BatchRow& r) { return r.outcome == RowOutcome::Done; });

    clock.restart();
    preview->undo();
    if (!waitFor(preview, PreviewAllDialog::Stage::Undone))
        return 1;
    const qint64 undoMs = clock.elapsed();
    const qint64 undoBlock = meter.take();

    out << "bench_batch_window: " << count << " files: dialog open in " << openMs
        << " ms, all planned in " << previewMs << " ms, " << done << " of " << included
        << " applied in " << applyMs << " ms, undone in " << undoMs
        << " ms; longest event-loop block " << std::max({previewBlock, applyBlock, undoBlock})
        << " ms\n";
    out << "bench_batch_window: longest block while planning " << previewBlock << " ms, applying "
        << applyBlock << " ms, undoing " << undoBlock << " ms; idle " << idleBlock << " ms\n";
    return done == count ? 0 : 1;
}
