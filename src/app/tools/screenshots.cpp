// Renders the main window on each page into PNG files for the documentation.
// Usage: quorvel-screenshots OUTPUT_FOLDER
#include "app/aboutdlg.h"
#include "profiles/settingsstore.h"
#include "window/controlids.h"
#include "window/profilenamedlg.h"
#include "window/quorveldlg.h"
#include "window/uiseam.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTemporaryDir>
#include <QTextStream>

namespace {

// Nothing modal may stop the run: messages go to standard error.
class PrintingSeam : public UiSeam {
public:
    void showMessage(QWidget*, const QString& text, const QString&) override {
        QTextStream(stderr) << text << "\n";
    }
    bool askYesNo(QWidget*, const QString&, const QString&) override { return false; }
    std::optional<QString> askProfileName(QWidget*) override { return std::nullopt; }
    void showAbout(QWidget*) override {}
    QStringList askOpenFiles(QWidget*) override { return {}; }
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    app.setOrganizationName(QStringLiteral("Norvesta"));
    if (argc != 2) {
        QTextStream(stderr) << "usage: quorvel-screenshots OUTPUT_FOLDER\n";
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    PrintingSeam seam;
    SettingsStore store;
    CQuorvelDlg dialog(seam, store);
    // A file as the selection refresh would show it.
    FieldValues& input = dialog.fieldGrid()[RowInput];
    input = {QStringLiteral("/home/ana/Music/incoming"),
             QStringLiteral("07 harbour lights"),
             QStringLiteral("The Blue Ferries"),
             QStringLiteral("harbour lights"),
             QStringLiteral("Northern Piers"),
             QStringLiteral("Folk"),
             QStringLiteral("2019"),
             QStringLiteral("7")};
    dialog.loadControls();
    // A few listed files, the first shown as selected; they are empty, so
    // the selection is made without the refresh that would read them.
    QTemporaryDir files;
    QStringList paths;
    for (const char* name : {"07 harbour lights.mp3", "08 quay side.mp3", "09 tide tables.mp3",
                             "10 the last ferry.mp3", "11 lantern.mp3"}) {
        paths.append(QDir(files.path()).filePath(QString::fromUtf8(name)));
        if (!QFile(paths.last()).open(QIODevice::WriteOnly))
            return 1;
    }
    dialog.addFiles(paths);
    auto* list = dialog.controls().as<QListWidget>(IDC_FILELIST);
    {
        const QSignalBlocker blocker(list);
        list->setCurrentRow(0);
    }
    dialog.show();
    dialog.activateWindow();
    // Focus changes, and with them the Original row, need the active window.
    QElapsedTimer waited;
    waited.start();
    while (!dialog.isActiveWindow() && waited.elapsed() < 3000)
        app.processEvents(QEventLoop::AllEvents, 50);
    const struct {
        int button;
        const char* name;
    } pages[] = {{IDC_PAGE_INPUT, "input"},
                 {IDC_PAGE_PARSE, "parse-input"},
                 {IDC_PAGE_CREATE, "create-output"},
                 {IDC_PAGE_OUTPUT, "output"}};
    for (const auto& page : pages) {
        dialog.controls().as<QPushButton>(page.button)->click();
        if (page.button == IDC_PAGE_PARSE)
            dialog.controls()
                .widget(fieldEditId(FieldArtist))
                ->setFocus(); // fills the Original row
        app.processEvents();
        const QString file = out.filePath(QStringLiteral("screenshot-%1.png").arg(page.name));
        if (!dialog.grab().save(file)) {
            QTextStream(stderr) << "cannot write " << file << "\n";
            return 1;
        }
    }
    // The two small dialogs, to check their captions too.
    CAboutDlg about(&dialog);
    CProfileNameDlg name(&dialog);
    for (QDialog* small : {static_cast<QDialog*>(&about), static_cast<QDialog*>(&name)}) {
        small->show();
        app.processEvents();
        const QString file = out.filePath(small == &about ? QStringLiteral("screenshot-about.png")
                                                          : QStringLiteral("screenshot-name.png"));
        if (!small->grab().save(file)) {
            QTextStream(stderr) << "cannot write " << file << "\n";
            return 1;
        }
        small->hide();
    }
    return 0;
}
