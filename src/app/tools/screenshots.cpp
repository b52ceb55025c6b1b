// Renders the main window on each page, the small dialogs and "Preview All"
// into PNG files for the documentation.
// Usage: quorvel-screenshots OUTPUT_FOLDER
#include "app/aboutdlg.h"
#include "profiles/settingsstore.h"
#include "window/controlids.h"
#include "window/previewalldialog.h"
#include "window/profilenamedlg.h"
#include "window/quorveldlg.h"
#include "window/uiseam.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QPushButton>
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
    QString askFolder(QWidget*) override { return {}; }
};

// Two MPEG-1 Layer III frames of silence (128 kbit/s, 44.1 kHz, mono), the
// frames the test fixtures build: enough for the window to list the file.
QByteArray silentMp3() {
    QByteArray frame(417, '\0');
    frame[0] = char(0xFF);
    frame[1] = char(0xFB);
    frame[2] = char(0x90);
    frame[3] = char(0xC4);
    return frame + frame;
}

bool grabTo(QWidget& widget, const QDir& out, const QString& name) {
    const QString file = out.filePath(QStringLiteral("screenshot-%1.png").arg(name));
    if (widget.grab().save(file))
        return true;
    QTextStream(stderr) << "cannot write " << file << "\n";
    return false;
}

// A small MP3 file with its tag written by the tag writer.
bool writeSong(const QString& path, const QString& artist, const QString& title,
               const QString& album, const QString& track) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(silentMp3()) < 0)
        return false;
    file.close();
    TagInfo tag;
    if (tag.Read(path) < 0)
        return false;
    tag.SetFrameWide("TPE1", artist, -1);
    tag.SetFrameWide("TIT2", title, -1);
    tag.SetFrameWide("TALB", album, -1);
    tag.SetFrameWide("TRCK", track, -1);
    return tag.Write() == 0;
}

// "Preview All" over a folder with a duplicate download (two files bound for
// one path), a file whose new name is taken and one whose name does not fit
// the format.
bool grabPreviewAll(CQuorvelDlg& window, const QDir& out) {
    QTemporaryDir music(QDir::tempPath() + QStringLiteral("/Music-XXXXXX"));
    const QDir root(music.path());
    const QString ferries = QStringLiteral("The Blue Ferries");
    const QString piers = QStringLiteral("Northern Piers");
    const struct {
        const char* path;
        const char* title;
    } songs[] = {{"Incoming/07 harbour lights.mp3", "harbour lights"},
                 {"Incoming/08 quay side.mp3", "quay side"},
                 {"Incoming/09 tide tables.mp3", "tide tables"},
                 {"Incoming/old/09 tide tables.mp3", "tide tables"},
                 {"Incoming/10 the last ferry.mp3", "the last ferry"},
                 {"Incoming/11 lantern.mp3", "lantern"},
                 {"Incoming/intro.mp3", "intro"}};
    QStringList paths;
    for (const auto& song : songs) {
        paths << root.filePath(QString::fromUtf8(song.path));
        const QString track = paths.last().section(u'/', -1).section(u' ', 0, 0);
        if (!writeSong(paths.last(), ferries, QString::fromUtf8(song.title), piers,
                       QString::number(track.toInt())))
            return false;
    }
    // The new name of "11 lantern.mp3" is taken.
    if (!writeSong(root.filePath(QStringLiteral("%1/%2/11 - Lantern.mp3").arg(ferries, piers)),
                   ferries, QStringLiteral("Lantern"), piers, QStringLiteral("11")))
        return false;

    window.onRemoveAll();
    window.addFiles(paths);
    while (window.isAddingFiles())
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    // Track and title from the file name; sorted into Artist/Album.
    const QStringList formats{QStringLiteral("1 1 %# %T"),
                              QStringLiteral("1 3 "),
                              QStringLiteral("1 7 "),
                              QStringLiteral("2 0 ") + root.path() + QStringLiteral("/%A/%B"),
                              QStringLiteral("2 1 %# - %T"),
                              QStringLiteral("2 3 %T"),
                              QStringLiteral("2 7 %#")};
    for (const QString& f : formats) {
        window.controls().as<QPushButton>(kPageButtonIds[f.section(u' ', 0, 0).toInt()])->click();
        window.controls().setText(fieldEditId(f.section(u' ', 1, 1).toInt()), f.section(u' ', 2));
    }
    window.onPreviewAll();
    auto* preview = window.findChild<PreviewAllDialog*>();
    if (!preview)
        return false;
    QEventLoop loop;
    QObject::connect(preview, &PreviewAllDialog::stageChanged, &loop, &QEventLoop::quit);
    if (preview->stage() != PreviewAllDialog::Stage::Planned)
        loop.exec();
    preview->resize(preview->width(), preview->fontMetrics().height() * 22);
    QApplication::processEvents();
    const bool grabbed = grabTo(*preview, out, QStringLiteral("preview-all"));
    preview->close();
    return grabbed;
}

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
    dialog.show();
    dialog.activateWindow();
    // Focus changes, and with them the Original row, need the active window.
    QElapsedTimer waited;
    waited.start();
    while (!dialog.isActiveWindow() && waited.elapsed() < 3000)
        app.processEvents(QEventLoop::AllEvents, 50);
    // The empty list with its hint.
    app.processEvents();
    if (!grabTo(dialog, out, QStringLiteral("empty")))
        return 1;

    // A few listed files, of which the first was applied (renamed to
    // "07 Harbour Lights.mp3") and the second failed, its new name being
    // taken already.
    QTemporaryDir files;
    QStringList paths;
    for (const char* name : {"07 harbour lights.mp3", "08 quay side.mp3", "09 tide tables.mp3",
                             "10 the last ferry.mp3", "11 lantern.mp3", "08 Quay Side.mp3"}) {
        paths.append(QDir(files.path()).filePath(QString::fromUtf8(name)));
        QFile file(paths.last());
        if (!file.open(QIODevice::WriteOnly) || file.write(silentMp3()) < 0)
            return 1;
    }
    paths.removeLast(); // stands in the way, not listed
    dialog.addFiles(paths);
    while (dialog.isAddingFiles())
        app.processEvents(QEventLoop::AllEvents, 50);
    auto* list = dialog.controls().as<QListWidget>(IDC_FILELIST);
    list->setCurrentRow(0);
    auto* apply = dialog.controls().as<QPushButton>(IDC_APPLY);
    apply->click();
    apply->click();
    // The file now selected as the selection refresh would show it.
    FieldValues& input = dialog.fieldGrid()[RowInput];
    input = {QStringLiteral("/home/ana/Music/incoming"),
             QStringLiteral("09 tide tables"),
             QStringLiteral("The Blue Ferries"),
             QStringLiteral("tide tables"),
             QStringLiteral("Northern Piers"),
             QStringLiteral("Folk"),
             QStringLiteral("2019"),
             QStringLiteral("9")};
    dialog.loadControls();
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
        if (!grabTo(dialog, out, QString::fromLatin1(page.name)))
            return 1;
    }
    // The two small dialogs, to check their captions too.
    CAboutDlg about(&dialog);
    CProfileNameDlg name(&dialog);
    for (QDialog* small : {static_cast<QDialog*>(&about), static_cast<QDialog*>(&name)}) {
        small->show();
        app.processEvents();
        if (!grabTo(*small, out,
                    small == &about ? QStringLiteral("about") : QStringLiteral("name")))
            return 1;
        small->hide();
    }
    return grabPreviewAll(dialog, out) ? 0 : 1;
}
