#include "profiles/optioncontrols.h"

#include <QTest>

class TestOptionControls : public QObject {
    Q_OBJECT
private slots:
    void separatorLoadAndSave_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("entry");
        QTest::addColumn<QString>("savedBack");
        QTest::newRow("exact") << "NONE" << 1 << "NONE";
        QTest::newRow("small letters") << "space" << 0 << "SPACE";
        QTest::newRow("prefix") << "Sp" << 0 << "SPACE";
        QTest::newRow("dash") << "-" << 3 << "-(dash)";
        QTest::newRow("underscore") << "_" << 2 << "_(underscore)";
        QTest::newRow("underscore, other case") << "_(UNDERSCORE)" << 2 << "_(underscore)";
        QTest::newRow("plus") << "+" << -1 << "+";
        QTest::newRow("longer than an entry") << "SPACES" << -1 << "SPACES";
        QTest::newRow("typed with spaces") << " + " << -1 << " + ";
        QTest::newRow("empty means no separator") << "" << -1 << "";
    }
    void separatorLoadAndSave() {
        QFETCH(QString, stored);
        QFETCH(int, entry);
        QFETCH(QString, savedBack);
        Profile p = Profile::withDefaults("A");
        p.separator = stored;
        const OptionControls c = loadOptionControls(p);
        QCOMPARE(c.separatorIndex, entry);
        QCOMPARE(c.separatorText, savedBack);
        saveOptionControls(c, p);
        QCOMPARE(p.separator, savedBack);
    }

    // What the user typed is saved as the box shows it once loaded again.
    void typedSeparatorSavedAsLoaded_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("saved");
        QTest::newRow("begins NONE") << "n"
                                     << "NONE";
        QTest::newRow("begins SPACE") << "s"
                                      << "SPACE";
        QTest::newRow("begins the dash entry") << "-("
                                               << "-(dash)";
        QTest::newRow("begins no entry") << "+"
                                         << "+";
        QTest::newRow("empty") << ""
                               << "";
    }
    void typedSeparatorSavedAsLoaded() {
        QFETCH(QString, typed);
        QFETCH(QString, saved);
        Profile p = Profile::withDefaults("A");
        OptionControls c = loadOptionControls(p);
        c.separatorText = typed;
        saveOptionControls(c, p);
        QCOMPARE(p.separator, saved);
        QCOMPARE(loadOptionControls(p).separatorText, saved);
    }

    void caseAndCheckBoxes_data() {
        QTest::addColumn<int>("caseMode");
        QTest::addColumn<int>("checkBox");
        QTest::addColumn<int>("caseIndex");
        QTest::addColumn<bool>("separatorEnabled");
        QTest::addColumn<int>("memberAfterLoad");
        QTest::addColumn<int>("caseSaved");
        QTest::newRow("title") << 0 << 1 << 0 << true << 1 << 0;
        QTest::newRow("upper") << 2 << 0 << 2 << true << 0 << 2;
        QTest::newRow("keep original") << 3 << 0 << 3 << false << 0 << 3;
        QTest::newRow("case 7") << 7 << 2 << -1 << true << 2 << -1;
        QTest::newRow("case -1") << -1 << 0 << -1 << true << 0 << -1;
        QTest::newRow("check box 5") << 1 << 5 << 1 << true << 0 << 1;
        QTest::newRow("check box -1") << 1 << -1 << 1 << true << 0 << 1;
        QTest::newRow("check box 3") << 1 << 3 << 1 << true << 0 << 1;
    }
    void caseAndCheckBoxes() {
        QFETCH(int, caseMode);
        QFETCH(int, checkBox);
        QFETCH(int, caseIndex);
        QFETCH(bool, separatorEnabled);
        QFETCH(int, memberAfterLoad);
        QFETCH(int, caseSaved);
        Profile p = Profile::withDefaults("A");
        p.caseMode = caseMode;
        p.ansi = p.clearOtherV2 = p.clearV1 = checkBox;
        const OptionControls c = loadOptionControls(p);
        QCOMPARE(c.caseIndex, caseIndex);
        QCOMPARE(c.separatorEnabled, separatorEnabled);
        QCOMPARE(p.ansi, memberAfterLoad);
        QCOMPARE(p.clearOtherV2, memberAfterLoad);
        QCOMPARE(p.clearV1, memberAfterLoad);
        QCOMPARE(c.ansi, memberAfterLoad);
        saveOptionControls(c, p);
        QCOMPARE(p.caseMode, caseSaved);
        QCOMPARE(p.ansi, memberAfterLoad != 0 ? 1 : 0);
    }

    void caseChangeEnablesSeparator_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<bool>("enabled");
        for (int i = 0; i < caseEntries().size(); ++i)
            QTest::addRow("%s", qPrintable(caseEntries()[i]))
                << i << (caseEntries()[i] != "Keep Original");
        QTest::newRow("no selection") << -1 << true;
    }
    void caseChangeEnablesSeparator() {
        QFETCH(int, index);
        QFETCH(bool, enabled);
        QCOMPARE(separatorEnabledFor(index), enabled);
    }

    void savesWhatTheControlsShow() {
        OptionControls c;
        c.caseIndex = 1;
        c.separatorIndex = -1;
        c.separatorText = "typed";
        c.ansi = 1;
        c.clearOtherV2 = 0;
        c.clearV1 = 1;
        Profile p = Profile::withDefaults("A");
        p.clearOtherV2 = 1;
        saveOptionControls(c, p);
        QCOMPARE(p.caseMode, 1);
        QCOMPARE(p.separator, QString("typed"));
        QCOMPARE(p.ansi, 1);
        QCOMPARE(p.clearOtherV2, 0);
        QCOMPARE(p.clearV1, 1);
    }
};

QTEST_GUILESS_MAIN(TestOptionControls)
#include "test_option_controls.moc"
