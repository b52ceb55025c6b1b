#pragma once

#include "fixtures.h"
#include "tags/taginfo.h"
#include "window/controlids.h"
#include "window/quorveldlg.h"
#include "windowtestsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QListWidget>
#include <QMimeData>
#include <QTest>
#include <QUrl>

#include <memory>

// Writes a real MP3 file with ID3v2.3 text frames given as "ID=text|ID=text"
// (none: no ID3v2 tag) and, when asked, an ID3v1 block at its end.
inline bool writeTaggedFile(const QString& path, const QString& frames, bool withV1 = false) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    fixture::Tag tag;
    for (const QString& frame : frames.split(QLatin1Char('|'), Qt::SkipEmptyParts)) {
        tag.frames.append({frame.section(QLatin1Char('='), 0, 0).toLatin1(),
                           fixture::TextBody(0, frame.section(QLatin1Char('='), 1))});
    }
    fixture::V1 v1;
    v1.title = "old v1 title";
    return fixture::WriteFile(
        path, fixture::BuildFile(frames.isEmpty() ? nullptr : &tag, 8, withV1 ? &v1 : nullptr));
}

// Lets the window's worker list what it was given.
inline bool waitForAdding(const CQuorvelDlg& dialog) {
    return QTest::qWaitFor([&] { return !dialog.isAddingFiles(); }, 20000);
}

// Sends a drag of these local files over `target` and drops it there, as a
// file manager does. Returns whether the drop was taken; the files are
// listed later, when the window's worker has judged them.
inline bool sendDropUrls(QWidget* target, const QList<QUrl>& urls) {
    QMimeData mime;
    mime.setUrls(urls);
    // File managers offer the URLs as text too, which a text box would take.
    QStringList text;
    for (const QUrl& url : urls)
        text << url.toString();
    mime.setText(text.join(u'\n'));
    QDragEnterEvent enter(QPoint(4, 4), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    QDropEvent drop(QPointF(4, 4), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
    return enter.isAccepted() && drop.isAccepted();
}

inline bool sendDrop(QWidget* target, const QStringList& paths) {
    QList<QUrl> urls;
    for (const QString& path : paths)
        urls.append(QUrl::fromLocalFile(path));
    return sendDropUrls(target, urls);
}

// sendDrop, then waits until the files are listed.
inline bool dropFiles(QWidget* target, const QStringList& paths) {
    auto* dialog = qobject_cast<CQuorvelDlg*>(target->window());
    return sendDrop(target, paths) && dialog && waitForAdding(*dialog);
}

// The text with "{dir}" standing for dir.
inline QString expandDir(QString text, const QString& dir) {
    return text.replace(QStringLiteral("{dir}"), dir);
}

// A shown main window on a private store, with a profile that keeps the
// case of every value, so that Output equals Input unless a test edits it.
struct WindowUnderTest {
    TempStore temp;
    RecordingSeam seam;
    std::unique_ptr<CQuorvelDlg> dialog;

    WindowUnderTest() {
        Profile keep = Profile::withDefaults(QStringLiteral("Keep"));
        keep.caseMode = CaseKeep;
        temp.store.SaveProfile(keep, LastProfileUpdate::Keep);
        temp.store.WriteText(ApplicationKey, StoreValue::LastProfile, QStringLiteral("Keep"));
        dialog = std::make_unique<CQuorvelDlg>(seam, temp.store);
        dialog->show();
    }

    QListWidget* list() const { return dialog->controls().as<QListWidget>(IDC_FILELIST); }
    QStringList names() const {
        QStringList shown;
        for (int i = 0; i < list()->count(); ++i)
            shown.append(list()->item(i)->text());
        return shown;
    }
    // A selection as the user makes it: the list notifies the window.
    void userSelects(int position) const { list()->setCurrentRow(position); }
    QString shown(int field) const { return dialog->controls().text(fieldEditId(field)); }
    void click(int id) const {
        auto* button = dialog->controls().widget(id);
        QMetaObject::invokeMethod(button, "click");
    }
    void clickPage(int page) const {
        QTest::mouseClick(dialog->controls().widget(kPageButtonIds[page]), Qt::LeftButton);
    }
    // Each edit is "PAGE FIELD TEXT": the user goes to the page and types.
    void typeEdits(const QStringList& edits, const QString& dir) const {
        for (const QString& edit : edits) {
            const int page = edit.section(QLatin1Char(' '), 0, 0).toInt();
            const int field = edit.section(QLatin1Char(' '), 1, 1).toInt();
            if (dialog->currentPage() != page)
                clickPage(page);
            dialog->controls().setText(fieldEditId(field),
                                       expandDir(edit.section(QLatin1Char(' '), 2), dir));
        }
    }
    QStringList messages() const {
        QStringList texts;
        for (const RecordingSeam::Shown& s : seam.shown) {
            if (s.kind == QLatin1String("message"))
                texts.append(s.text);
        }
        return texts;
    }
};

// The text of the file's first frame with this id (empty when absent).
inline QString frameText(const QString& path, const char* id) {
    TagInfo tag;
    if (tag.Read(path) < 0)
        return QStringLiteral("<unreadable>");
    return tag.FindFrame(id, nullptr);
}
