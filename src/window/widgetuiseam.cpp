#include "app/aboutdlg.h"
#include "window/profilenamedlg.h"
#include "window/uiseam.h"

#include <QFileDialog>
#include <QMessageBox>

void WidgetUiSeam::showMessage(QWidget* owner, const QString& text, const QString& caption) {
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, owner);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

bool WidgetUiSeam::askYesNo(QWidget* owner, const QString& text, const QString& caption) {
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Yes | QMessageBox::No, owner);
    box.setTextFormat(Qt::PlainText);
    return box.exec() == QMessageBox::Yes;
}

std::optional<QString> WidgetUiSeam::askProfileName(QWidget* owner) {
    CProfileNameDlg dialog(owner);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.name();
}

void WidgetUiSeam::showAbout(QWidget* owner) {
    CAboutDlg dialog(owner);
    dialog.exec();
}

QStringList WidgetUiSeam::askOpenFiles(QWidget* owner) {
    return QFileDialog::getOpenFileNames(
        owner, QStringLiteral("Add Files"), QString(),
        QStringLiteral("MP3 files (*.mp3 *.MP3 *.Mp3 *.mP3);;All files (*)"));
}

QString WidgetUiSeam::askFolder(QWidget* owner) {
    return QFileDialog::getExistingDirectory(owner, QStringLiteral("Add Folder"));
}
