// Times the adding steps of a large drop onto the main window: 50,000 files
// (empty files in a temporary folder) listed with their paths, then the same
// drop again, where every path is a duplicate. Target:
// well under a second for the first drop. File creation is not timed.

#include "profiles/settingsstore.h"
#include "window/quorveldlg.h"
#include "window/uiseam.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

namespace {

class SilentSeam : public UiSeam {
public:
    void showMessage(QWidget*, const QString&, const QString&) override {}
    bool askYesNo(QWidget*, const QString&, const QString&) override { return false; }
    std::optional<QString> askProfileName(QWidget*) override { return std::nullopt; }
    void showAbout(QWidget*) override {}
    QStringList askOpenFiles(QWidget*) override { return {}; }
};

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int count = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 50000;
    QTextStream out(stdout);

    QTemporaryDir dir;
    const QDir root(dir.path());
    QStringList paths;
    paths.reserve(count);
    // Spread over folders, with names that do not arrive in sorted order.
    for (int i = 0; i < count; ++i) {
        const QString folder = QStringLiteral("Artist %1").arg(i % 100, 3, 10, QLatin1Char('0'));
        if (i < 100 && !root.mkpath(folder))
            return 1;
        const QString path =
            root.filePath(QStringLiteral("%1/%2 Track.mp3").arg(folder).arg((i * 7919) % count));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly)) {
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

    QElapsedTimer timer;
    timer.start();
    const int added = dialog.addFiles(paths);
    QApplication::processEvents(); // the list lays out its entries
    const qint64 firstMs = timer.elapsed();

    timer.restart();
    const int again = dialog.addFiles(paths);
    QApplication::processEvents();
    const qint64 againMs = timer.elapsed();

    out << "bench_filelist: " << added << " files added in " << firstMs << " ms\n";
    out << "bench_filelist: the same " << count << " again, " << again << " added, in " << againMs
        << " ms\n";
    return added == count && again == 0 ? 0 : 1;
}
