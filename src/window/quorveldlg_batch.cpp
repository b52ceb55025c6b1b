// The main window's way into the whole batch: "Preview All" and "History",
// and the list entries that follow the files those dialogs change.
#include "window/historydialog.h"
#include "window/previewalldialog.h"
#include "window/quorveldlg.h"

void CQuorvelDlg::onPreviewAll() {
    saveControls();
    QStringList paths;
    for (int i = 0; i < m_files.count(); ++i)
        paths << m_files.pathAt(i);
    auto* dialog = new PreviewAllDialog(paths, currentProfile(), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &PreviewAllDialog::runEnded, this, &CQuorvelDlg::followRun);
    dialog->open();
}

void CQuorvelDlg::onHistory() {
    auto* dialog = new HistoryDialog(this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &HistoryDialog::runEnded, this, &CQuorvelDlg::followRun);
    dialog->open();
}

void CQuorvelDlg::followRun(const QList<FileList::Outcome>& outcomes) {
    m_files.followRun(outcomes);
    // The run may have rewritten the selected file, and the tag record holds
    // it as it was: read it again, where it is now.
    if (m_files.selectedPosition() >= 0)
        selectionRefresh();
}
