// Times one transformation run of eight fields: parsing, normalisation and
// composition, as the window does on every file selection. Target: under 20
// microseconds per run. Then the ASCII-only conversion of values of a
// million characters, such as a broken tag can hold: well under a second.

#include "profiles/profile.h"
#include "transform/asciionly.h"
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

// Milliseconds one ASCII-only conversion of value takes, and the length of
// its result.
std::pair<double, qsizetype> asciiOnlyMs(const QString& value) {
    QElapsedTimer timer;
    timer.start();
    const QString converted = ToAsciiOnly(value);
    return {double(timer.nsecsElapsed()) / 1e6, converted.size()};
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

    // Accented letters (the result soon cannot fit), then combining marks
    // (all dropped, so every character is looked at).
    const QList<std::pair<const char*, QString>> longValues{
        {"1,000,000 x U+00E9", QString(1000000, QChar(0x00E9))},
        {"1,000,000 x U+0301", QString(1000000, QChar(0x0301))},
        {"1,000,000 x U+0344", QString(1000000, QChar(0x0344))}};
    for (const auto& [label, value] : longValues) {
        const auto [ms, length] = asciiOnlyMs(value);
        out << "ASCII only, " << label << ": " << ms << " ms, " << length
            << " characters out (target well under 1000 ms)\n";
    }
    return ok == iterations ? 0 : 1;
}
