#include "profiles/profile.h"
#include "transform/transform.h"

#include <QTest>

namespace {

using Overrides = QList<std::pair<int, QString>>;

const FieldValues previous = {"old L", "old F", "old A", "old T",
                              "old B", "old G", "old Y", "old #"};

FieldGrid makeGrid(const FieldValues& inputs, const Overrides& parse, const Overrides& create) {
    const Profile p = Profile::withDefaults(QStringLiteral("Default"));
    FieldGrid grid{inputs, p.parse, p.create, previous};
    for (const auto& [field, format] : parse)
        grid[RowParse][field] = format;
    for (const auto& [field, format] : create)
        grid[RowCreate][field] = format;
    return grid;
}

const FieldValues sampleInputs = {"/music/in", "01 - help", "the_river_band", "HELP!",
                                  "blue sky",  "Hard_Rock", " 1999",          "1/14"};

} // namespace

class TestTransformRun : public QObject {
    Q_OBJECT
private slots:
    void run_data() {
        QTest::addColumn<FieldValues>("inputs");
        QTest::addColumn<Overrides>("parse");
        QTest::addColumn<Overrides>("create");
        QTest::addColumn<TransformOptions>("options");
        QTest::addColumn<FieldValues>("outputs");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<bool>("result");

        const TransformOptions defaults;
        QTest::newRow("default profile")
            << sampleInputs << Overrides{} << Overrides{} << defaults
            << FieldValues{"/music/in", "01 Help",   "The River Band", "Help!",
                           "Blue Sky",  "Hard_Rock", " 1999",          "01"}
            << QStringList{} << true;
        QTest::newRow("empty inputs")
            << FieldValues{} << Overrides{} << Overrides{} << defaults
            << FieldValues{"", "", "", "", "", "", "", ""} << QStringList{} << true;
        QTest::newRow("file name feeds track, artist and title")
            << FieldValues{"/m", "03 - the_band - HELP!", "", "", "", "", "", ""}
            << Overrides{{FieldFilename, "%# - %A - %T"},
                         {FieldArtist, ""},
                         {FieldTitle, ""},
                         {FieldTrack, ""}}
            << Overrides{{FieldFilename, "%# - %A - %T"}} << defaults
            << FieldValues{"/m", "03 - The Band - Help!", "The Band", "Help!", "", "", "", "03"}
            << QStringList{} << true;
        QTest::newRow("filename cleaned, literals kept")
            << sampleInputs << Overrides{} << Overrides{{FieldFilename, "%# - %A: %T?"}} << defaults
            << FieldValues{"/music/in",      "01 - The River Band Help!",
                           "The River Band", "Help!",
                           "Blue Sky",       "Hard_Rock",
                           " 1999",          "01"}
            << QStringList{} << true;
        QTest::newRow("location keeps slash and colon, loses backslash")
            << FieldValues{"D:\\Music/Rock", "", "", "", "", "", "", ""} << Overrides{}
            << Overrides{{FieldLocation, "%L/<new>"}} << defaults
            << FieldValues{"D:Music/Rock/new", "", "", "", "", "", "", ""} << QStringList{} << true;
        QTest::newRow("other outputs not cleaned")
            << FieldValues{"", "", "", "AC/DC: \"x\"?", "", "", "", ""} << Overrides{}
            << Overrides{} << TransformOptions{0, CaseKeep, "SPACE"}
            << FieldValues{"", "", "", "AC/DC: \"x\"?", "", "", "", ""} << QStringList{} << true;
        QTest::newRow("upper with dash separator")
            << FieldValues{"", "", "the river band", "", "", "", "", "7"} << Overrides{}
            << Overrides{} << TransformOptions{0, CaseUpper, "-(dash)"}
            << FieldValues{"", "", "THE-RIVER-BAND", "", "", "", "", "07"} << QStringList{} << true;
        QTest::newRow("ansi only leaves genre, year, location")
            << FieldValues{"/müsik", "Été", "Ωmega", "Café", "", "Électro", "1999年", ""}
            << Overrides{} << Overrides{} << TransformOptions{1, CaseTitle, "SPACE"}
            << FieldValues{"/müsik", "Ete", "? Mega", "Cafe", "", "Électro", "1999年", ""}
            << QStringList{} << true;
        QTest::newRow("unicode kept without ansi")
            << FieldValues{"/音楽", "曲 \U0001F3B5", "καλημέρα κόσμε", "ÉTÉ", "", "", "", ""}
            << Overrides{} << Overrides{} << defaults
            << FieldValues{"/音楽", "曲 \U0001F3B5", "Καλημέρα Κόσμε", "Été", "", "", "", ""}
            << QStringList{} << true;
        QTest::newRow("empty create format gives empty output")
            << sampleInputs << Overrides{} << Overrides{{FieldAlbum, ""}} << defaults
            << FieldValues{"/music/in", "01 Help",   "The River Band", "Help!",
                           "",          "Hard_Rock", " 1999",          "01"}
            << QStringList{} << true;
        QTest::newRow("format error in create goes on")
            << sampleInputs << Overrides{} << Overrides{{FieldAlbum, "%B -%"}} << defaults
            << FieldValues{"/music/in", "01 Help",   "The River Band", "Help!",
                           "Blue Sky",  "Hard_Rock", " 1999",          "01"}
            << QStringList{"Invalid format: %B -% Need a character after % sign"} << true;

        // Failures: what row 3 holds afterwards.
        QTest::newRow("missing code keeps later outputs")
            << sampleInputs << Overrides{} << Overrides{{FieldTitle, "%T (%X)"}} << defaults
            << FieldValues{"/music/in", "01 Help", "The River Band", "Help! (",
                           "old B",     "old G",   "old Y",          "old #"}
            << QStringList{"%T (%X) has invalid value %X"} << false;
        QTest::newRow("missing code in filename leaves it uncleaned")
            << sampleInputs << Overrides{} << Overrides{{FieldFilename, "a:b/%F?%Q"}} << defaults
            << FieldValues{"/music/in", "a:b/01 Help?", "old A", "old T",
                           "old B",     "old G",        "old Y", "old #"}
            << QStringList{"a:b/%F?%Q has invalid value %Q"} << false;
        QTest::newRow("missing code stops later format messages")
            << sampleInputs << Overrides{} << Overrides{{FieldArtist, "%Q"}, {FieldTitle, "%T%A"}}
            << defaults
            << FieldValues{"/music/in", "01 Help", "", "old T", "old B", "old G", "old Y", "old #"}
            << QStringList{"%Q has invalid value %Q"} << false;
        QTest::newRow("unparsed code is missing")
            << FieldValues{"", "Song", "", "", "", "", "", ""}
            << Overrides{{FieldFilename, "%A - %T"}, {FieldArtist, ""}, {FieldTitle, ""}}
            << Overrides{} << defaults
            << FieldValues{"", "", "old A", "old T", "old B", "old G", "old Y", "old #"}
            << QStringList{"%F has invalid value %F"} << false;
        QTest::newRow("duplicate code leaves row 3 untouched")
            << sampleInputs << Overrides{{FieldFilename, "%# - %T"}, {FieldArtist, "%A%B"}}
            << Overrides{} << defaults << previous
            << QStringList{"Invalid format: %A%B Two format string together, cannot parse",
                           "%T is created from multiple input fields"}
            << false;
    }
    void run() {
        QFETCH(FieldValues, inputs);
        QFETCH(Overrides, parse);
        QFETCH(Overrides, create);
        QFETCH(TransformOptions, options);
        QFETCH(FieldValues, outputs);
        QFETCH(QStringList, messages);
        QFETCH(bool, result);

        FieldGrid grid = makeGrid(inputs, parse, create);
        const FieldGrid before = grid;
        QStringList shown;
        QCOMPARE(Transform(grid, options, true, false, [&](const QString& m) { shown << m; }),
                 result);
        for (int f = 0; f < FieldCount; ++f)
            QCOMPARE(grid[RowOutput][f], outputs[f]);
        QCOMPARE(shown, messages);
        for (int row = RowInput; row < RowOutput; ++row)
            QVERIFY(grid[row] == before[row]); // only row 3 is written

        // A quiet run computes the same and shows nothing.
        FieldGrid quietGrid = makeGrid(inputs, parse, create);
        shown.clear();
        QCOMPARE(Transform(quietGrid, options, false, false, [&](const QString& m) { shown << m; }),
                 result);
        QVERIFY(quietGrid[RowOutput] == grid[RowOutput]);
        QVERIFY(shown.isEmpty());
    }

    void outputPageForcesMessages() {
        FieldGrid grid = makeGrid(sampleInputs, {}, {{FieldTitle, "%T (%X)"}});
        QStringList shown;
        QVERIFY(!Transform(grid, TransformOptions{}, false, true,
                           [&](const QString& m) { shown << m; }));
        QCOMPARE(shown, QStringList{"%T (%X) has invalid value %X"});
    }

    void optionsFromProfile() {
        Profile p = Profile::withDefaults(QStringLiteral("Car"));
        p.ansi = 5;
        p.caseMode = CaseUpper;
        p.separator = QStringLiteral("NONE");
        const TransformOptions o = TransformOptions::fromProfile(p);
        QCOMPARE(o.ansi, 5);
        QCOMPARE(o.caseMode, int(CaseUpper));
        QCOMPARE(o.separator, QStringLiteral("NONE"));
    }

    // Tag or file-name text must not add, climb or replace folders of the Location,
    // nor, by being empty or dropped, turn a relative Location into one from the root.
    void hostileLocationValues_data() {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("artist");
        QTest::addColumn<QString>("album");
        QTest::addColumn<QString>("location");

        const QString under = QStringLiteral("%L/%A/%B");
        QTest::newRow("slash in artist") << under << "AC/DC"
                                         << "Back"
                                         << "/music/ACDC/Back";
        QTest::newRow("dot dot artist") << under << ".."
                                        << "x"
                                        << "/music//x";
        QTest::newRow("dot artist") << under << "."
                                    << "x"
                                    << "/music//x";
        QTest::newRow("climbing path") << under << "../../x"
                                       << "y"
                                       << "/music/....x/y";
        QTest::newRow("absolute path") << under << "/etc"
                                       << "passwd"
                                       << "/music/etc/passwd";
        QTest::newRow("backslash path") << under << "..\\..\\win"
                                        << "z"
                                        << "/music/....win/z";
        QTest::newRow("dot dot around a control character") << under << ".\t."
                                                            << "x"
                                                            << "/music//x";
        QTest::newRow("dots are fine inside a name") << under << "..x"
                                                     << "a.b"
                                                     << "/music/..x/a.b";
        QTest::newRow("both dot dot") << under << ".."
                                      << ".."
                                      << "/music//";
        QTest::newRow("unicode artist") << under << "Björk/Ω \U0001F3B5"
                                        << "曲"
                                        << "/music/BjörkΩ \U0001F3B5/曲";
        // A relative Location stays relative whatever the tags hold.
        QTest::newRow("relative, empty artist") << "%A/%B"
                                                << ""
                                                << "Greatest Hits"
                                                << "Greatest Hits";
        QTest::newRow("relative, dot dot artist") << "%A/%B"
                                                  << ".."
                                                  << "etc"
                                                  << "etc";
        QTest::newRow("relative, both empty") << "%A/%B"
                                              << ""
                                              << ""
                                              << "";
        QTest::newRow("relative, behind characters removed") << "<%A>/%B"
                                                             << ""
                                                             << "Hits"
                                                             << "Hits";
        QTest::newRow("relative, dot dot behind a character removed") << "?%A/%B"
                                                                      << ".."
                                                                      << "etc"
                                                                      << "etc";
        QTest::newRow("relative, artist fills it") << "%A/%B"
                                                   << "Abba"
                                                   << "Gold"
                                                   << "Abba/Gold";
        // Dots of the format's own text beside an empty value form no climb.
        QTest::newRow("literal dots after empty artist") << "%L/%A.."
                                                         << ""
                                                         << "x"
                                                         << "/music/";
        QTest::newRow("literal dot before dot artist") << "%L/.%A/%B"
                                                       << "."
                                                       << "x"
                                                       << "/music//x";
        QTest::newRow("literal dots in a name") << "%L/%A../%B"
                                                << "A"
                                                << "x"
                                                << "/music/A../x";
    }
    void hostileLocationValues() {
        QFETCH(QString, format);
        QFETCH(QString, artist);
        QFETCH(QString, album);
        QFETCH(QString, location);
        FieldValues inputs;
        inputs[FieldLocation] = QStringLiteral("/music");
        inputs[FieldArtist] = artist;
        inputs[FieldAlbum] = album;
        FieldGrid grid = makeGrid(inputs, {}, {{FieldLocation, format}});
        QVERIFY(Transform(grid, TransformOptions{0, CaseKeep, "SPACE"}, false, false));
        QCOMPARE(grid[RowOutput][FieldLocation], location);
        // Title case reshapes the words but must not bring back a folder level, a climb
        // or a start at the root.
        FieldGrid titled = makeGrid(inputs, {}, {{FieldLocation, format}});
        QVERIFY(Transform(titled, TransformOptions{}, false, false));
        const QString titledLocation = titled[RowOutput][FieldLocation];
        const QStringList components = titledLocation.split(QLatin1Char('/'));
        QCOMPARE(components.size(), location.split(QLatin1Char('/')).size());
        QCOMPARE(titledLocation.startsWith(QLatin1Char('/')),
                 location.startsWith(QLatin1Char('/')));
        QVERIFY(!components.contains(QStringLiteral("..")));
    }

    void locationLiteralsAndOwnValuesKeepTheirFolders() {
        // The Location input's own codes and the format's literals may hold folders and dots.
        FieldValues inputs;
        inputs[FieldLocation] = QStringLiteral("/music/../rock/Metal");
        inputs[FieldTitle] = QStringLiteral(".");
        FieldGrid grid = makeGrid(inputs, {{FieldLocation, "%L/rock/%G"}, {FieldGenre, ""}},
                                  {{FieldLocation, "%L/../%G/.%T"}, {FieldGenre, ""}});
        QVERIFY(Transform(grid, TransformOptions{0, CaseKeep, "SPACE"}, false, false));
        // "%T" would complete a ".." component: the component is left empty.
        QCOMPARE(grid[RowOutput][FieldLocation], QStringLiteral("/music/../../Metal/"));
    }

    // A lone U+DC80..U+DCFF stands for a byte of a name that is no UTF-8:
    // one from the old path goes back as that byte, one from broken tag
    // text must not, and shows as U+FFFD in the names, as any other lone
    // surrogate of a tag does (it would name no file). Control characters
    // of tag text stay out of names; the old name keeps its own.
    void byteEscapesComeFromPathsOnly_data() {
        QTest::addColumn<QString>("filenameFormat");
        QTest::addColumn<QString>("artist");
        QTest::addColumn<QString>("filename");
        const QString escaped = QStringLiteral("caf") + QChar(0xDCE9);
        const QString replaced = QStringLiteral("caf") + QChar(QChar::ReplacementCharacter);
        QTest::newRow("from the old name") << "%F"
                                           << "x" << escaped + u'\t';
        QTest::newRow("from a tag") << "%A" << escaped << replaced;
        QTest::newRow("a pair with such a low half") << "%A"
                                                     << "\U0001F480"
                                                     << "\U0001F480";
        QTest::newRow("a lone high surrogate from a tag")
            << "%A" << QStringLiteral("caf") + QChar(0xD83D) << replaced;
        QTest::newRow("a lone low surrogate from a tag")
            << "%A" << QStringLiteral("caf") + QChar(0xDE00) << replaced;
        QTest::newRow("a line break from a tag") << "%A"
                                                 << "Part 1\r\nPart 2"
                                                 << "Part 1Part 2";
        QTest::newRow("a terminal escape from a tag") << "%A"
                                                      << "\x1b]0;owned\x07x\x7f"
                                                      << "]0;ownedx";
        QTest::newRow("an 8-bit escape from a tag") << "%A"
                                                    << "a\u009b31mb\u0085"
                                                    << "a31mb";
    }
    void byteEscapesComeFromPathsOnly() {
        QFETCH(QString, filenameFormat);
        QFETCH(QString, artist);
        QFETCH(QString, filename);
        FieldValues inputs;
        inputs[FieldLocation] = QStringLiteral("/music/in\t") + QChar(0xDCFF);
        inputs[FieldFilename] = QStringLiteral("caf") + QChar(0xDCE9) + u'\t';
        inputs[FieldArtist] = artist;
        FieldGrid grid = makeGrid(inputs, {{FieldFilename, "%F"}},
                                  {{FieldLocation, "%L/%A"}, {FieldFilename, filenameFormat}});
        QVERIFY(Transform(grid, TransformOptions{0, CaseKeep, "SPACE"}, false, false));
        QCOMPARE(grid[RowOutput][FieldFilename], filename);
        const QString location = inputs[FieldLocation] + u'/' + (artist == "x" ? artist : filename);
        QCOMPARE(grid[RowOutput][FieldLocation], location);
    }
};

QTEST_GUILESS_MAIN(TestTransformRun)
#include "test_transform_run.moc"
