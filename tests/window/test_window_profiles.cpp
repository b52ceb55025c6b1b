#include "immutablefile.h"
#include "profiles/profilelist.h"
#include "window/controlids.h"
#include "window/quorveldlg.h"
#include "windowtestsupport.h"

#include <QComboBox>
#include <QFile>
#include <QTest>

#include <memory>

namespace {

const QString kAdd = QStringLiteral("<Add New...>");
const QString kRemove = QStringLiteral("<Remove Selected>");

// A store holding the named profiles, each with its own Title parse format
// so that a test can tell which one the window shows.
void storeProfiles(SettingsStore& store, const QStringList& names, const QString& last) {
    for (const QString& name : names) {
        Profile p = Profile::withDefaults(name);
        p.parse[FieldTitle] = QStringLiteral("%T ") + name;
        store.SaveProfile(p, LastProfileUpdate::Keep);
    }
    if (!last.isNull())
        store.WriteText(ApplicationKey, StoreValue::LastProfile, last);
}

QStringList comboEntries(CQuorvelDlg& dialog) {
    auto* list = dialog.controls().as<QComboBox>(IDC_PROFILE_LIST);
    QStringList entries;
    for (int i = 0; i < list->count(); ++i)
        entries.append(list->itemText(i));
    return entries;
}

// The user picks entry `index` of the profile list.
void choose(CQuorvelDlg& dialog, int index) {
    dialog.controls().as<QComboBox>(IDC_PROFILE_LIST)->setCurrentIndex(index);
}

QString shownProfile(CQuorvelDlg& dialog) {
    return dialog.controls().text(IDC_PROFILE_LIST);
}

QString lastProfile(const TempStore& temp) {
    return SettingsStore(temp.file).ReadText(ApplicationKey, StoreValue::LastProfile, {});
}

// A section header without its "]": the store can no longer be parsed.
bool damageStore(const TempStore& temp) {
    QFile f(temp.file);
    return f.open(QIODevice::Append) && f.write("[Broken\nCase=2\n") > 0;
}

} // namespace

class TestWindowProfiles : public QObject {
    Q_OBJECT
private slots:
    void filling_data();
    void filling();
    void addProfile_data();
    void addProfile();
    void chooseAddedProfile();
    void switchSavesAndLoads();
    void removeProfile_data();
    void removeProfile();
    void removeOnlyProfileRefused();
    void removeThatTheStoreRefuses();
    void exitStoresLastProfile_data();
    void exitStoresLastProfile();
    void otherWritersChangesStay_data();
    void otherWritersChangesStay();
    void damagedStoreSaidAtStart();
    void keyboardSteps();
};

void TestWindowProfiles::filling_data() {
    QTest::addColumn<QStringList>("stored");
    QTest::addColumn<QString>("last");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QString>("current");

    QTest::newRow("empty store") << QStringList{} << QString() << QStringList{"Default"}
                                 << "Default";
    QTest::newRow("last in other case") << QStringList{"Alpha", "Default"} << "dEFAULT"
                                        << QStringList{"Alpha", "Default"} << "Default";
    QTest::newRow("last no longer stored")
        << QStringList{"Alpha", "Beta"} << "Gone" << QStringList{"Alpha", "Beta"} << "Alpha";
    QTest::newRow("last empty") << QStringList{"Alpha", "Default"} << ""
                                << QStringList{"Alpha", "Default"} << "Default";
    QTest::newRow("second of three") << QStringList{"Alpha", "Beta", "Gamma"} << "Beta"
                                     << QStringList{"Alpha", "Beta", "Gamma"} << "Beta";
}

void TestWindowProfiles::filling() {
    QFETCH(QStringList, stored);
    QFETCH(QString, last);
    QFETCH(QStringList, entries);
    QFETCH(QString, current);

    TempStore temp;
    storeProfiles(temp.store, stored, last);
    RecordingSeam seam;
    CQuorvelDlg dialog(seam, temp.store);

    QCOMPARE(comboEntries(dialog), entries + QStringList({kAdd, kRemove}));
    QCOMPARE(shownProfile(dialog), current);
    QCOMPARE(dialog.profileList().currentName(), current);
    // The current profile's formats were loaded into rows 1 and 2.
    const QString title = stored.isEmpty() ? QStringLiteral("%T") : "%T " + current;
    QCOMPARE(dialog.fieldGrid()[RowParse][FieldTitle], title);
    QCOMPARE(dialog.fieldGrid()[RowCreate][FieldTitle], QStringLiteral("%T"));
    // Loading creates the key of a profile that had none.
    QVERIFY(SettingsStore(temp.file).EnumProfiles().contains(current));
    QVERIFY(seam.shown.isEmpty());
}

void TestWindowProfiles::addProfile_data() {
    QTest::addColumn<std::optional<QString>>("answer");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QStringList>("dialogs");
    const QStringList name = {QStringLiteral("name")};

    QTest::newRow("new name") << std::optional<QString>(QStringLiteral("Zeta"))
                              << QStringList{"Zeta", "Alpha", "Beta"} << name;
    QTest::newRow("cancelled") << std::optional<QString>() << QStringList{"Alpha", "Beta"} << name;
    QTest::newRow("empty name") << std::optional<QString>(QString())
                                << QStringList{"", "Alpha", "Beta"} << name;
    // The store keeps one profile for both names: a second entry for it
    // would let Remove delete the profile the user meant to keep.
    QTest::newRow("duplicate in other case")
        << std::optional<QString>(QStringLiteral("ALPHA")) << QStringList{"Alpha", "Beta"}
        << name + QStringList{QStringLiteral("message")};
    QTest::newRow("command text") << std::optional<QString>(kRemove)
                                  << QStringList{kRemove, "Alpha", "Beta"} << name;
}

void TestWindowProfiles::addProfile() {
    QFETCH(std::optional<QString>, answer);
    QFETCH(QStringList, entries);
    QFETCH(QStringList, dialogs);

    TempStore temp;
    storeProfiles(temp.store, {"Alpha", "Beta"}, "Beta");
    RecordingSeam seam;
    CQuorvelDlg dialog(seam, temp.store);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    // An unsaved change on the Parse Input page is saved by the change.
    QTest::mouseClick(dialog.controls().widget(IDC_PAGE_PARSE), Qt::LeftButton);
    dialog.controls().setText(fieldEditId(FieldAlbum), QStringLiteral("%B edited"));

    seam.nameAnswers.enqueue(answer);
    choose(dialog, 2); // "<Add New...>"

    QCOMPARE(seam.kinds(), dialogs);
    QCOMPARE(comboEntries(dialog), entries + QStringList({kAdd, kRemove}));
    // The previous profile stays selected and current.
    QCOMPARE(shownProfile(dialog), QStringLiteral("Beta"));
    QCOMPARE(dialog.profileList().currentName(), QStringLiteral("Beta"));
    QCOMPARE(dialog.controls().text(fieldEditId(FieldAlbum)), QStringLiteral("%B edited"));
    // It was saved; the new name has no key until it becomes current.
    const SettingsStore after(temp.file);
    QCOMPARE(after.ReadText(QStringLiteral("Beta"), StoreValue::field(1, FieldAlbum), {}),
             QStringLiteral("%B edited"));
    QCOMPARE(lastProfile(temp), QStringLiteral("Beta"));
    QCOMPARE(after.EnumProfiles(), (QStringList{"Alpha", "Beta"}));
}

void TestWindowProfiles::chooseAddedProfile() {
    TempStore temp;
    storeProfiles(temp.store, {"Alpha"}, "Alpha");
    RecordingSeam seam;
    CQuorvelDlg dialog(seam, temp.store);
    seam.nameAnswers.enqueue(QStringLiteral("Zeta"));
    choose(dialog, 1);
    choose(dialog, 0); // "Zeta", now first

    QCOMPARE(shownProfile(dialog), QStringLiteral("Zeta"));
    QCOMPARE(dialog.profileList().currentName(), QStringLiteral("Zeta"));
    // A new profile has every value at its default.
    QCOMPARE(dialog.fieldGrid()[RowParse][FieldTitle], QStringLiteral("%T"));
    QCOMPARE(dialog.profile().separator, QStringLiteral("SPACE"));
    QCOMPARE(SettingsStore(temp.file).EnumProfiles(), (QStringList{"Alpha", "Zeta"}));
    QCOMPARE(lastProfile(temp), QStringLiteral("Alpha"));
}

void TestWindowProfiles::switchSavesAndLoads() {
    TempStore temp;
    storeProfiles(temp.store, {"Alpha", "Beta"}, "Alpha");
    RecordingSeam seam;
    CQuorvelDlg dialog(seam, temp.store);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTest::mouseClick(dialog.controls().widget(IDC_PAGE_PARSE), Qt::LeftButton);
    dialog.controls().setText(fieldEditId(FieldArtist), QStringLiteral("%A only"));

    choose(dialog, 1);

    QCOMPARE(shownProfile(dialog), QStringLiteral("Beta"));
    // The page stays; its edit boxes show Beta's parse formats.
    QCOMPARE(dialog.currentPage(), int(RowParse));
    QCOMPARE(dialog.controls().text(fieldEditId(FieldTitle)), QStringLiteral("%T Beta"));
    QCOMPARE(dialog.controls().text(fieldEditId(FieldArtist)), QStringLiteral("%A"));
    const SettingsStore after(temp.file);
    QCOMPARE(after.ReadText(QStringLiteral("Alpha"), StoreValue::field(1, FieldArtist), {}),
             QStringLiteral("%A only"));
    QCOMPARE(lastProfile(temp), QStringLiteral("Alpha"));
    QVERIFY(seam.shown.isEmpty());

    // And back: Alpha shows what was saved for it.
    choose(dialog, 0);
    QCOMPARE(dialog.controls().text(fieldEditId(FieldArtist)), QStringLiteral("%A only"));
    QCOMPARE(lastProfile(temp), QStringLiteral("Beta"));
}

void TestWindowProfiles::removeProfile_data() {
    QTest::addColumn<QString>("current");
    QTest::addColumn<bool>("yes");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QString>("selected");

    QTest::newRow("last of three, yes")
        << "Gamma" << true << QStringList{"Alpha", "Beta"} << "Beta";
    QTest::newRow("first of three, yes")
        << "Alpha" << true << QStringList{"Beta", "Gamma"} << "Beta";
    QTest::newRow("middle of three, yes")
        << "Beta" << true << QStringList{"Alpha", "Gamma"} << "Gamma";
    QTest::newRow("declined") << "Beta" << false << QStringList{"Alpha", "Beta", "Gamma"} << "Beta";
}

void TestWindowProfiles::removeProfile() {
    QFETCH(QString, current);
    QFETCH(bool, yes);
    QFETCH(QStringList, entries);
    QFETCH(QString, selected);

    TempStore temp;
    storeProfiles(temp.store, {"Alpha", "Beta", "Gamma"}, current);
    RecordingSeam seam;
    CQuorvelDlg dialog(seam, temp.store);
    seam.yesNoAnswers.enqueue(yes);
    choose(dialog, 4); // "<Remove Selected>"

    QCOMPARE(seam.shown.size(), 1);
    QCOMPARE(seam.shown[0].kind, QStringLiteral("question"));
    QCOMPARE(seam.shown[0].text,
             QStringLiteral("Are you sure to delete profile \"%1\"").arg(current));
    QCOMPARE(seam.shown[0].caption, QStringLiteral("Confirm Delete"));
    QCOMPARE(comboEntries(dialog), entries + QStringList({kAdd, kRemove}));
    QCOMPARE(shownProfile(dialog), selected);
    QCOMPARE(dialog.profileList().currentName(), selected);
    // The profile now current is loaded.
    QCOMPARE(dialog.fieldGrid()[RowParse][FieldTitle], "%T " + selected);
    QCOMPARE(SettingsStore(temp.file).EnumProfiles(), entries);
}

void TestWindowProfiles::removeOnlyProfileRefused() {
    TempStore temp;
    RecordingSeam seam;
    CQuorvelDlg dialog(seam, temp.store);
    choose(dialog, 2);

    QCOMPARE(seam.shown.size(), 1);
    QCOMPARE(seam.shown[0].kind, QStringLiteral("message"));
    QCOMPARE(seam.shown[0].text, QStringLiteral("At least 1 profile should always exist"));
    QCOMPARE(seam.shown[0].caption, QCoreApplication::applicationName());
    QCOMPARE(comboEntries(dialog), (QStringList{"Default", kAdd, kRemove}));
    QCOMPARE(shownProfile(dialog), QStringLiteral("Default"));
    QCOMPARE(SettingsStore(temp.file).EnumProfiles(), QStringList{"Default"});
}

// A store that reads but cannot be written: the entry stays, and the user
// is told, rather than see the profile gone until the next start.
void TestWindowProfiles::removeThatTheStoreRefuses() {
    TempStore temp;
    storeProfiles(temp.store, {"Alpha", "Beta", "Gamma"}, "Beta");
    RecordingSeam seam;
    CQuorvelDlg dialog(seam, temp.store);
    ImmutableFile readOnly;
    if (!readOnly.protect(temp.file))
        QSKIP("the store cannot be made read-only here");
    seam.yesNoAnswers.enqueue(true);
    choose(dialog, 4); // "<Remove Selected>"

    QCOMPARE(seam.shown.size(), 2);
    QCOMPARE(seam.shown[1].text, QStringLiteral("Profile \"Beta\" was not deleted: cannot write "
                                                "the settings store %1")
                                     .arg(temp.file));
    QCOMPARE(comboEntries(dialog), (QStringList{"Alpha", "Beta", "Gamma", kAdd, kRemove}));
    QCOMPARE(shownProfile(dialog), QStringLiteral("Beta"));
    // On disk: this process's QSettings keeps the failed change in view.
    QFile stored(temp.file);
    QVERIFY(stored.open(QIODevice::ReadOnly));
    QVERIFY(stored.readAll().contains("\n[Beta]\n"));
}

void TestWindowProfiles::exitStoresLastProfile_data() {
    QTest::addColumn<bool>("closeBox");
    QTest::newRow("Exit") << false;
    QTest::newRow("close box") << true;
}

void TestWindowProfiles::exitStoresLastProfile() {
    QFETCH(bool, closeBox);

    TempStore temp;
    storeProfiles(temp.store, {"Alpha", "Beta"}, "Alpha");
    RecordingSeam seam;
    {
        CQuorvelDlg dialog(seam, temp.store);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        choose(dialog, 1);
        // Changed on Create Output and never saved by a page switch.
        QTest::mouseClick(dialog.controls().widget(IDC_PAGE_CREATE), Qt::LeftButton);
        dialog.controls().setText(fieldEditId(FieldYear), QStringLiteral("[%Y]"));
        dialog.controls().setChecked(IDC_CLEAR_V1, true);
        if (closeBox)
            dialog.close();
        else
            QTest::mouseClick(dialog.controls().widget(IDC_EXIT), Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
    }
    const SettingsStore after(temp.file);
    QCOMPARE(lastProfile(temp), QStringLiteral("Beta"));
    QCOMPARE(after.ReadText(QStringLiteral("Beta"), StoreValue::field(2, FieldYear), {}),
             QStringLiteral("[%Y]"));
    QCOMPARE(after.ReadInt(QStringLiteral("Beta"), StoreValue::ClearV1, -1), 1);
    QCOMPARE(after.ReadText(QStringLiteral("Alpha"), StoreValue::field(2, FieldYear), {}),
             QStringLiteral("%Y"));

    // The next start resumes the profile saved at Exit.
    RecordingSeam seam2;
    CQuorvelDlg next(seam2, temp.store);
    QCOMPARE(shownProfile(next), QStringLiteral("Beta"));
    QCOMPARE(next.fieldGrid()[RowCreate][FieldYear], QStringLiteral("[%Y]"));
}

// quorvel-cli changes or damages the store while the window is open, on
// Alpha; the window then exits, with or without a change of its own.
void TestWindowProfiles::otherWritersChangesStay_data() {
    QTest::addColumn<QString>("meanwhile"); // "nothing", "changed", "deleted" or "damaged"
    QTest::addColumn<bool>("editHere");
    QTest::addColumn<QString>("titleFormat"); // Alpha's Title parse format after
    QTest::addColumn<QString>("message");
    QTest::newRow("changed elsewhere, not here") << "changed" << false << "%T (CLI)"
                                                 << "";
    // The user's own change is the last word: the window's profile is saved.
    QTest::newRow("changed elsewhere and here") << "changed" << true << "%T Alpha"
                                                << "";
    QTest::newRow("changed nowhere") << "nothing" << false << "%T Alpha"
                                     << "";
    // Chosen and left: stored again as the window shows it, not with the
    // defaults of a key made anew.
    QTest::newRow("deleted elsewhere") << "deleted" << false << "%T Alpha"
                                       << "";
    QTest::newRow("deleted elsewhere, changed here") << "deleted" << true << "%T Alpha"
                                                     << "";
    QTest::newRow("damaged, changed here")
        << "damaged" << true << ""
        << "Profile \"Alpha\" was not saved: cannot read the settings store %1";
    QTest::newRow("damaged, nothing of the user's to save") << "damaged" << false << ""
                                                            << "";
}

void TestWindowProfiles::otherWritersChangesStay() {
    QFETCH(QString, meanwhile);
    QFETCH(bool, editHere);
    QFETCH(QString, titleFormat);
    QFETCH(QString, message);

    TempStore temp;
    storeProfiles(temp.store, {"Alpha", "Beta"}, "Beta");
    RecordingSeam seam;
    CQuorvelDlg dialog(seam, temp.store);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    choose(dialog, 0); // Alpha: at Exit it is the last profile, saved or not
    if (meanwhile == "changed") {
        SettingsStore other(temp.file);
        Profile p = other.LoadProfile(QStringLiteral("Alpha"));
        p.name = QStringLiteral("Alpha");
        p.parse[FieldTitle] = QStringLiteral("%T (CLI)");
        QVERIFY(other.SaveProfile(p, LastProfileUpdate::Keep));
    } else if (meanwhile == "deleted") {
        QCOMPARE(SettingsStore(temp.file).DeleteProfileKey(QStringLiteral("Alpha")),
                 Deletion::Done);
    } else if (meanwhile == "damaged") {
        QVERIFY(damageStore(temp));
    }
    if (editHere) {
        QTest::mouseClick(dialog.controls().widget(IDC_PAGE_CREATE), Qt::LeftButton);
        dialog.controls().setText(fieldEditId(FieldYear), QStringLiteral("[%Y]"));
    }
    QTest::mouseClick(dialog.controls().widget(IDC_EXIT), Qt::LeftButton);

    QStringList messages;
    for (const RecordingSeam::Shown& shown : seam.shown)
        messages << shown.text;
    QCOMPARE(messages, message.isEmpty() ? QStringList() : QStringList{message.arg(temp.file)});
    if (meanwhile == "damaged")
        return;
    const SettingsStore after(temp.file);
    QCOMPARE(after.ReadText(QStringLiteral("Alpha"), StoreValue::field(1, FieldTitle), {}),
             titleFormat);
    QCOMPARE(after.ReadText(QStringLiteral("Alpha"), StoreValue::field(2, FieldYear), {}),
             editHere ? QStringLiteral("[%Y]") : QStringLiteral("%Y"));
    QCOMPARE(lastProfile(temp), QStringLiteral("Alpha"));
}

// A store that cannot be parsed: the window says so once it is up, rather
// than show the default profile as if the user's profiles were gone.
void TestWindowProfiles::damagedStoreSaidAtStart() {
    TempStore temp;
    storeProfiles(temp.store, {"Alpha", "Beta"}, "Beta");
    QVERIFY(damageStore(temp));
    RecordingSeam seam;
    CQuorvelDlg dialog(seam, temp.store);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTRY_COMPARE(seam.kinds(), QStringList{QStringLiteral("message")});
    QCOMPARE(seam.shown.first().text,
             QStringLiteral("Cannot read the settings store %1: the window shows the default "
                            "profile and saves nothing until the file is mended")
                 .arg(temp.file));
    // A readable store says nothing.
    TempStore sound;
    storeProfiles(sound.store, {"Alpha"}, "Alpha");
    RecordingSeam quiet;
    CQuorvelDlg other(quiet, sound.store);
    other.show();
    QVERIFY(QTest::qWaitForWindowExposed(&other));
    QTest::qWait(50);
    QCOMPARE(quiet.kinds(), QStringList());
}

void TestWindowProfiles::keyboardSteps() {
    TempStore temp;
    storeProfiles(temp.store, {"Alpha", "Beta"}, "Alpha");
    RecordingSeam seam;
    CQuorvelDlg dialog(seam, temp.store);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QWidget* list = dialog.controls().widget(IDC_PROFILE_LIST);
    list->setFocus();

    QTest::keyClick(list, Qt::Key_Down);
    QCOMPARE(dialog.profileList().currentName(), QStringLiteral("Beta"));
    QCOMPARE(lastProfile(temp), QStringLiteral("Alpha")); // saved when left
    QVERIFY(seam.shown.isEmpty());

    // The next step reaches "<Add New...>" and asks for a name.
    QTest::keyClick(list, Qt::Key_Down);
    QCOMPARE(seam.kinds(), QStringList{QStringLiteral("name")});
    QCOMPARE(shownProfile(dialog), QStringLiteral("Beta"));
    QCOMPARE(lastProfile(temp), QStringLiteral("Beta"));
}

QTEST_MAIN(TestWindowProfiles)
#include "test_window_profiles.moc"
