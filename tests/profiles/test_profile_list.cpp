#include "profiles/profilelist.h"

#include <QTest>

namespace {

// Records every call as one line and answers the dialogs from a script.
class ScriptedHost : public ProfileListHost {
public:
    QStringList calls;
    std::optional<QString> nameAnswer;
    bool yesAnswer = true;
    bool deleteAnswer = true;

    std::optional<QString> askProfileName() override {
        calls << "askName";
        return nameAnswer;
    }
    void showMessage(const QString& text) override { calls << "message:" + text; }
    bool askYesNo(const QString& text, const QString& caption) override {
        calls << "ask:" + caption + ":" + text;
        return yesAnswer;
    }
    void saveControls() override { calls << "saveControls"; }
    void loadControls() override { calls << "loadControls"; }
    void loadProfile(const QString& name) override { calls << "load:" + name; }
    void saveProfile(const QString& name) override { calls << "save:" + name; }
    bool deleteProfile(const QString& name) override {
        calls << "delete:" + name;
        return deleteAnswer;
    }
    void quietTransform() override { calls << "transform"; }
};

const QString addEntry = "<Add New...>";
const QString removeEntry = "<Remove Selected>";

} // namespace

class TestProfileList : public QObject {
    Q_OBJECT
private slots:
    void fill_data() {
        QTest::addColumn<QString>("last");
        QTest::addColumn<QStringList>("stored");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<int>("selected");
        QTest::newRow("empty store")
            << "Default" << QStringList{} << QStringList{"Default", addEntry, removeEntry} << 0;
        QTest::newRow("empty LastProfile")
            << "" << QStringList{"A", "Default"}
            << QStringList{"A", "Default", addEntry, removeEntry} << 1;
        QTest::newRow("last in other case")
            << "dEFAULT" << QStringList{"A", "Default"}
            << QStringList{"A", "Default", addEntry, removeEntry} << 1;
        QTest::newRow("last no longer stored")
            << "Gone" << QStringList{"A", "B"} << QStringList{"A", "B", addEntry, removeEntry} << 0;
        QTest::newRow("last is the first")
            << "A" << QStringList{"A", "B"} << QStringList{"A", "B", addEntry, removeEntry} << 0;
        QTest::newRow("search starts at the second entry")
            << "a" << QStringList{"a", "B", "A"}
            << QStringList{"a", "B", "A", addEntry, removeEntry} << 2;
        QTest::newRow("last names a command entry")
            << "<add new...>" << QStringList{"A"} << QStringList{"A", addEntry, removeEntry} << 0;
        QTest::newRow("last is a profile with a command's text")
            << "<add new...>" << QStringList{"A", addEntry}
            << QStringList{"A", addEntry, addEntry, removeEntry} << 1;
    }
    void fill() {
        QFETCH(QString, last);
        QFETCH(QStringList, stored);
        QFETCH(QStringList, entries);
        QFETCH(int, selected);
        ScriptedHost host;
        ProfileList list(host);
        list.fill(last, stored);
        QCOMPARE(list.entries(), entries);
        QCOMPARE(list.selectedIndex(), selected);
        QCOMPARE(list.currentName(), entries[selected]);
        QCOMPARE(host.calls, QStringList{"load:" + entries[selected]});
    }

    // Each row: the stored profiles and LastProfile, then one user selection
    // with the dialogs' answers, and what follows.
    void change_data() {
        QTest::addColumn<QStringList>("stored");
        QTest::addColumn<QString>("last");
        QTest::addColumn<int>("choose");
        QTest::addColumn<QString>("dialogName"); // "<cancel>" for Cancel
        QTest::addColumn<bool>("yes");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<int>("selected");
        QTest::addColumn<QStringList>("calls");
        const QStringList abc = {"A", "B", "C"};
        const QStringList saveA = {"saveControls", "save:A"};
        const QStringList saveC = {"saveControls", "save:C"};

        QTest::newRow("switch") << abc << "A" << 1 << "" << true
                                << QStringList{"A", "B", "C", addEntry, removeEntry} << 1
                                << saveA + QStringList{"load:B", "transform", "loadControls"};
        QTest::newRow("reselect current")
            << abc << "A" << 0 << "" << true << QStringList{"A", "B", "C", addEntry, removeEntry}
            << 0 << saveA;
        QTest::newRow("add") << abc << "B" << 3 << "New" << true
                             << QStringList{"New", "A", "B", "C", addEntry, removeEntry} << 2
                             << QStringList{"saveControls", "save:B", "askName"};
        QTest::newRow("add cancelled") << abc << "B" << 3 << "<cancel>" << true
                                       << QStringList{"A", "B", "C", addEntry, removeEntry} << 1
                                       << QStringList{"saveControls", "save:B", "askName"};
        QTest::newRow("add duplicate in other case")
            << abc << "A" << 3 << "b" << true << QStringList{"A", "B", "C", addEntry, removeEntry}
            << 0 << saveA + QStringList{"askName", "message:A profile named \"B\" exists already"};
        QTest::newRow("add the current profile's name")
            << abc << "C" << 3 << "C" << true << QStringList{"A", "B", "C", addEntry, removeEntry}
            << 2 << saveC + QStringList{"askName", "message:A profile named \"C\" exists already"};
        QTest::newRow("add empty name") << abc << "C" << 3 << "" << true
                                        << QStringList{"", "A", "B", "C", addEntry, removeEntry}
                                        << 3 << saveC + QStringList{"askName"};
        QTest::newRow("add a command entry's text")
            << abc << "A" << 3 << removeEntry << true
            << QStringList{removeEntry, "A", "B", "C", addEntry, removeEntry} << 1
            << saveA + QStringList{"askName"};
        // A profile that carries a command's text is a profile like any other.
        const QStringList named = {removeEntry, "Work", addEntry};
        QTest::newRow("choose a profile named as the remove command")
            << named << "Work" << 0 << "" << true
            << QStringList{removeEntry, "Work", addEntry, addEntry, removeEntry} << 0
            << QStringList{"saveControls", "save:Work", "load:" + removeEntry, "transform",
                           "loadControls"};
        QTest::newRow("choose a profile named as the add command")
            << named << "Work" << 2 << "" << true
            << QStringList{removeEntry, "Work", addEntry, addEntry, removeEntry} << 2
            << QStringList{"saveControls", "save:Work", "load:" + addEntry, "transform",
                           "loadControls"};
        QTest::newRow("remove last entry")
            << abc << "C" << 4 << "" << true << QStringList{"A", "B", addEntry, removeEntry} << 1
            << saveC + QStringList{"ask:Confirm Delete:Are you sure to delete profile \"C\"",
                                   "delete:C", "load:B", "transform", "loadControls"};
        QTest::newRow("remove first entry")
            << abc << "A" << 4 << "" << true << QStringList{"B", "C", addEntry, removeEntry} << 0
            << saveA + QStringList{"ask:Confirm Delete:Are you sure to delete profile \"A\"",
                                   "delete:A", "load:B", "transform", "loadControls"};
        QTest::newRow("remove middle entry")
            << abc << "B" << 4 << "" << true << QStringList{"A", "C", addEntry, removeEntry} << 1
            << QStringList{"saveControls",
                           "save:B",
                           "ask:Confirm Delete:Are you sure to delete profile \"B\"",
                           "delete:B",
                           "load:C",
                           "transform",
                           "loadControls"};
        QTest::newRow("remove declined")
            << abc << "B" << 4 << "" << false << QStringList{"A", "B", "C", addEntry, removeEntry}
            << 1
            << QStringList{"saveControls", "save:B",
                           "ask:Confirm Delete:Are you sure to delete profile \"B\""};
        QTest::newRow("remove the only profile")
            << QStringList{"Solo"} << "Solo" << 2 << "" << true
            << QStringList{"Solo", addEntry, removeEntry} << 0
            << QStringList{"saveControls", "save:Solo",
                           "message:At least 1 profile should always exist"};
        QTest::newRow("remove with quotes in the name")
            << QStringList{"My \"best\"", "B"} << "My \"best\"" << 3 << "" << true
            << QStringList{"B", addEntry, removeEntry} << 0
            << QStringList{"saveControls",
                           "save:My \"best\"",
                           "ask:Confirm Delete:Are you sure to delete profile \"My \"best\"\"",
                           "delete:My \"best\"",
                           "load:B",
                           "transform",
                           "loadControls"};
    }
    void change() {
        QFETCH(QStringList, stored);
        QFETCH(QString, last);
        QFETCH(int, choose);
        QFETCH(QString, dialogName);
        QFETCH(bool, yes);
        QFETCH(QStringList, entries);
        QFETCH(int, selected);
        QFETCH(QStringList, calls);
        ScriptedHost host;
        ProfileList list(host);
        list.fill(last, stored);
        host.calls.clear();
        if (dialogName != "<cancel>")
            host.nameAnswer = dialogName;
        host.yesAnswer = yes;
        list.onProfileChange(choose);
        QCOMPARE(host.calls, calls);
        QCOMPARE(list.entries(), entries);
        QCOMPARE(list.selectedIndex(), selected);
        QCOMPARE(list.currentName(), entries[selected]);
    }

    // A profile the store could not delete keeps its entry and stays current.
    void removeThatTheStoreRefusesKeepsTheEntry() {
        ScriptedHost host;
        ProfileList list(host);
        list.fill("B", {"A", "B", "C"});
        host.calls.clear();
        host.deleteAnswer = false;
        list.onProfileChange(4);
        QCOMPARE(host.calls, (QStringList{"saveControls", "save:B",
                                          "ask:Confirm Delete:Are you sure to delete profile \"B\"",
                                          "delete:B"}));
        QCOMPARE(list.entries(), (QStringList{"A", "B", "C", addEntry, removeEntry}));
        QCOMPARE(list.selectedIndex(), 1);
        QCOMPARE(list.currentName(), QString("B"));
    }

    void addedProfileBecomesCurrentWhenChosen() {
        ScriptedHost host;
        ProfileList list(host);
        list.fill("A", {"A"});
        host.nameAnswer = "New";
        list.onProfileChange(1);
        QCOMPARE(list.currentName(), QString("A"));
        host.calls.clear();
        list.onProfileChange(0);
        QCOMPARE(list.currentName(), QString("New"));
        QCOMPARE(host.calls,
                 (QStringList{"saveControls", "save:A", "load:New", "transform", "loadControls"}));
        // Two profiles now: removing one is allowed and leaves the other.
        host.calls.clear();
        list.onProfileChange(3);
        QCOMPARE(list.entries(), (QStringList{"A", addEntry, removeEntry}));
        QCOMPARE(list.currentName(), QString("A"));
    }

    void steppingThroughTheList() {
        ScriptedHost host;
        ProfileList list(host);
        list.fill("A", {"A", "B"});
        host.calls.clear();
        list.onProfileChange(1); // arrow down to B
        list.onProfileChange(2); // arrow down to "<Add New...>", cancelled
        QCOMPARE(list.selectedIndex(), 1);
        QCOMPARE(host.calls, (QStringList{"saveControls", "save:A", "load:B", "transform",
                                          "loadControls", "saveControls", "save:B", "askName"}));
    }

    void outOfRangeSelectionIsIgnored() {
        ScriptedHost host;
        ProfileList list(host);
        list.fill("A", {"A"});
        host.calls.clear();
        list.onProfileChange(-1);
        list.onProfileChange(3);
        QCOMPARE(host.calls, QStringList{});
        QCOMPARE(list.selectedIndex(), 0);
    }
};

QTEST_GUILESS_MAIN(TestProfileList)
#include "test_profile_list.moc"
