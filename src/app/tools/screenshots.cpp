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

// A small MP3 file: a few silent MPEG audio frames, then the tag writer
// adds the frames. Empty text: a file that holds no audio at all.
bool writeSong(const QString& path, const QString& artist, const QString& title,
               const QString& album, const QString& track) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (artist.isEmpty())
        return file.write("Liner notes, typed by hand.\n") > 0;
    // MPEG-1 Layer III, 128 kbit/s, 44.1 kHz, mono: 417 bytes of silence.
    QByteArray frame(417, '\0');
    frame[0] = '\xFF';
    frame[1] = '\xFB';
    frame[2] = '\x90';
    frame[3] = '\xC4';
    for (int i = 0; i < 8; ++i)
        file.write(frame);
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
// one path), a file whose new name is taken and a file that is no MP3 file.
bool savePreviewAll(CQuorvelDlg& window, const QString& file) {
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
                 {"Incoming/liner notes.mp3", nullptr}};
    QStringList paths;
    for (const auto& song : songs) {
        paths << root.filePath(QString::fromUtf8(song.path));
        const QString title = QString::fromUtf8(song.title);
        const QString track = paths.last().section(u'/', -1).section(u' ', 0, 0);
        if (!writeSong(paths.last(), song.title ? ferries : QString(), title, piers,
                       QString::number(track.toInt())))
            return false;
    }
    // The new name of "11 lantern.mp3" is taken.
    if (!writeSong(root.filePath(QStringLiteral("%1/%2/11 - Lantern.mp3").arg(ferries, piers)),
                   ferries, QStringLiteral("Lantern"), piers, QStringLiteral("11")))
        return false;

    window.onRemoveAll();
    window.addFiles(paths);
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
    const bool saved = preview->grab().save(file);
    preview->close();
    return saved;
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
    const QString preview = out.filePath(QStringLiteral("screenshot-preview-all.png"));
    if (!savePreviewAll(dialog, preview)) {
        QTextStream(stderr) << "cannot write " << preview << "\n";
        return 1;
    }
    return 0;
}
