// The main window's file list: adding files, the selection refresh and the
// two remove buttons.
#include "tags/pathbytes.h"
#include "tags/selectionread.h"
#include "window/controlids.h"
#include "window/quorveldlg.h"
#include "window/uiseam.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

void CQuorvelDlg::addFiles(const QStringList& paths) {
    // The focus moves at once rather than when the last file is listed,
    // which would take it from wherever the user has gone meanwhile.
    m_controls.widget(fieldEditId(FieldFilename))->setFocus();
    if (paths.isEmpty())
        return;
    if (!m_addingCursor)
        m_addingCursor.emplace(Qt::BusyCursor);
    m_gatherer.gather(paths);
}

void CQuorvelDlg::connectFileGatherer() {
    connect(&m_gatherer, &FileGatherer::found, this,
            [this](const QStringList& files) { m_files.addPaths(files); });
    connect(&m_gatherer, &FileGatherer::finished, this, [this] {
        m_addingCursor.reset();
        emit addingFinished();
    });
}

// The exact path of a name the file dialog gave, or, when its name cannot
// be told apart from another one, empty after saying so; kind is "file" or
// "folder".
QString CQuorvelDlg::exactPathOfPicked(const QString& picked, const QString& kind) {
    const QString exact = exactPathOfDecoded(picked);
    if (exact.isEmpty())
        showMessage(QStringLiteral("Cannot add %1: its name is not UTF-8 and cannot be told "
                                   "apart from another name here; drop the %2 onto the "
                                   "window instead")
                        .arg(picked, kind));
    return exact;
}

void CQuorvelDlg::onOpenFiles() {
    // The dialog gives names as Qt decodes them: a name that is no UTF-8
    // comes back with U+FFFD in it and may spell another file's name.
    QStringList paths;
    for (const QString& picked : m_seam.askOpenFiles(this)) {
        const QString exact = exactPathOfPicked(picked, QStringLiteral("file"));
        if (!exact.isEmpty())
            paths << exact;
    }
    if (!paths.isEmpty())
        addFiles(paths);
}

void CQuorvelDlg::onAddFolder() {
    const QString picked = m_seam.askFolder(this);
    if (picked.isEmpty())
        return;
    const QString folder = exactPathOfPicked(picked, QStringLiteral("folder"));
    if (!folder.isEmpty())
        addFiles({folder});
}

void CQuorvelDlg::selectionRefresh() {
    const int position = m_files.selectedPosition();
    if (position < 0) {
        m_tagIsSelected = false;
        m_grid[RowInput] = FieldValues{};
    } else {
        const SelectionRead read = ReadSelection(m_tag, m_files.pathAt(position));
        // The record now describes the failed file (or nothing): Apply must
        // not write the fields that still show another file into it.
        m_tagIsSelected = read.ok;
        if (!read.ok)
            return;
        m_grid[RowInput] = read.inputs;
    }
    loadControls();
    clearOriginalRow();
    transform(false);
}

void CQuorvelDlg::rereadTagRecord() {
    const int position = m_files.selectedPosition();
    m_tagIsSelected = position >= 0 && ReadSelection(m_tag, m_files.pathAt(position)).ok;
}

void CQuorvelDlg::selectFile(int position) {
    m_files.select(position);
    selectionRefresh();
}

void CQuorvelDlg::onRemoveItem() {
    if (m_files.removeSelected())
        selectionRefresh();
}

void CQuorvelDlg::onRemoveAll() {
    // The fields, the tag record and the display keep what they show.
    m_files.removeAll();
    m_tagIsSelected = false;
}

QStringList CQuorvelDlg::droppedFiles(const QMimeData* mime) {
    QStringList paths;
    if (!mime || !mime->hasUrls())
        return paths;
    // The URL keeps the bytes of a name that is no UTF-8 percent-encoded;
    // toLocalFile() would decode them into another name.
    for (const QUrl& url : mime->urls()) {
        // "localhost" names this machine (file://localhost/music/a.mp3).
        const bool here = url.host().isEmpty() || url.host() == QLatin1String("localhost");
        if (url.isLocalFile() && here)
            paths.append(pathFromBytes(
                QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1())));
        else if (url.isLocalFile())
            paths.append(url.toLocalFile()); // a share named by its host
    }
    return paths;
}

void CQuorvelDlg::dragEnterEvent(QDragEnterEvent* event) {
    if (!droppedFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void CQuorvelDlg::dragMoveEvent(QDragMoveEvent* event) {
    if (!droppedFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void CQuorvelDlg::dropEvent(QDropEvent* event) {
    const QStringList paths = droppedFiles(event->mimeData());
    if (paths.isEmpty())
        return;
    event->acceptProposedAction();
    addFiles(paths);
}

bool CQuorvelDlg::takeFileDrag(QEvent* event) {
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (droppedFiles(drag->mimeData()).isEmpty())
            return false;
        drag->acceptProposedAction();
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        if (droppedFiles(drop->mimeData()).isEmpty())
            return false;
        dropEvent(drop);
        return true;
    }
    default:
        return false;
    }
}
