// Times the adding steps of a large drop onto the main window: 50,000 small
// MP3 files (two silent frames each, from the fixture builder) spread over
// 100 folders of a temporary folder. First the files are dropped one by one,
// then the same drop again, where every file is listed already, then their
// folder after Remove All, which the window walks. Each drop is timed from
// the drop until the last file is listed; meanwhile a timer measures the
// longest time the window did not answer. File creation is not timed.

#include "fixtures.h"
#include "profiles/settingsstore.h"
#include "silentseam.h"
#include "window/quorveldlg.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <algorithm>

namespace {

struct Timing {
    qint64 ms = 0;
    qint64 longestStallMs = 0; // the longest gap between two ticks of a 10 ms timer
    int listed = 0;
};

Timing timeAdding(CQuorvelDlg& dialog, const QStringList& paths) {
    QElapsedTimer sinceTick;
    qint64 longest = 0;
    QTimer ticker;
    ticker.setInterval(10);
    QObject::connect(&ticker, &QTimer::timeout,
                     [&] { longest = std::max(longest, sinceTick.restart()); });
    QElapsedTimer timer;
    timer.start();
    sinceTick.start();
    ticker.start();
    dialog.addFiles(paths);
    while (dialog.isAddingFiles())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QApplication::processEvents(); // the list lays out its entries
    longest = std::max(longest, sinceTick.elapsed());
    return {timer.elapsed(), longest, dialog.fileList().count()};
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int count = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 50000;
    QTextStream out(stdout);

    QTemporaryDir dir;
    const QDir root(dir.path());
    const QDir music(root.filePath(QStringLiteral("music")));
    QStringList paths;
    paths.reserve(count);
    fixture::Tag tag;
    tag.frames = {{"TIT2", fixture::TextBody(0, QStringLiteral("Track"))}};
    const QByteArray mp3 = fixture::BuildFile(&tag, 2);
    // Spread over folders, with names that do not arrive in sorted order.
    for (int i = 0; i < count; ++i) {
        const QString folder = QStringLiteral("Artist %1").arg(i % 100, 3, 10, QLatin1Char('0'));
        if (i < 100 && !music.mkpath(folder))
            return 1;
        const QString path =
            music.filePath(QStringLiteral("%1/%2 Track.mp3").arg(folder).arg((i * 7919) % count));
        if (!fixture::WriteFile(path, mp3)) {
            out << "bench_filelist: cannot create " << path << "\n";
            return 1;
        }
        paths.append(path);
    }

    SilentSeam seam;
    SettingsStore store(root.filePath(QStringLiteral("settings.ini")));
    CQuorvelDlg dialog(seam, store);
    dialog.show();
    QApplication::processEvents();

    const Timing first = timeAdding(dialog, paths);
    const Timing again = timeAdding(dialog, paths);
    dialog.onRemoveAll();
    const Timing folder = timeAdding(dialog, {music.path()});

    out << "bench_filelist: " << first.listed << " files added in " << first.ms
        << " ms; the window answered within " << first.longestStallMs << " ms throughout\n";
    out << "bench_filelist: the same " << count << " again, " << again.listed - first.listed
        << " added, in " << again.ms << " ms (longest wait " << again.longestStallMs << " ms)\n";
    out << "bench_filelist: their folder after Remove All, " << folder.listed << " files added in "
        << folder.ms << " ms (longest wait " << folder.longestStallMs << " ms)\n";
    return first.listed == count && again.listed == count && folder.listed == count ? 0 : 1;
}
