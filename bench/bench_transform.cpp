// Times one transformation run of eight fields: parsing, normalisation and
// composition, as the window does on every file selection. Target: under 20
// microseconds per run.

#include "profiles/profile.h"
#include "transform/transform.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>

namespace {

FieldGrid benchGrid() {
    const Profile p = Profile::withDefaults(QStringLiteral("Default"));
    FieldGrid grid{FieldValues{"/home/user/Music/Incoming/Various", "03 - the_river_band - HELP!",
                               "", "", "Blue Sky Over Ålesund", "Hard_Rock", "1999", ""},
                   p.parse, p.create, FieldValues{}};
    // The file name feeds track, artist and title; their own fields stay out of parsing.
    grid[RowParse][FieldFilename] = QStringLiteral("%# - %A - %T");
    grid[RowParse][FieldArtist].clear();
    grid[RowParse][FieldTitle].clear();
    grid[RowParse][FieldTrack].clear();
    grid[RowCreate][FieldLocation] = QStringLiteral("%L/%A/%B");
    grid[RowCreate][FieldFilename] = QStringLiteral("%# - %A - %T");
    return grid;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int iterations = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 200000;
    QTextStream out(stdout);

    FieldGrid grid = benchGrid();
    const TransformOptions options{1, 0, QStringLiteral("SPACE")};
    if (!Transform(grid, options, false, false)) {
        out << "bench_transform: the benchmark grid does not transform\n";
        return 1;
    }
    for (int i = 0; i < 1000; ++i) // warm-up
        Transform(grid, options, false, false);

    QElapsedTimer timer;
    timer.start();
    int ok = 0;
    for (int i = 0; i < iterations; ++i)
        ok += Transform(grid, options, false, false) ? 1 : 0;
    const qint64 ns = timer.nsecsElapsed();

    const double perRun = double(ns) / iterations / 1000.0;
    out << "Transform, eight fields: " << iterations << " runs in " << double(ns) / 1e6 << " ms, "
        << perRun << " us per run (target < 20 us)"
        << (ok == iterations ? "" : " [some runs failed]") << "\n";
    out << "Sample output: " << grid[RowOutput][FieldLocation] << " | "
        << grid[RowOutput][FieldFilename] << "\n";
    return ok == iterations ? 0 : 1;
}
