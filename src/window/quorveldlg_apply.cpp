// The main window's Apply: the selected file gets the Output values.
#include "apply/applyservice.h"
#include "apply/journal.h"
#include "window/quorveldlg.h"
#include "window/waitcursor.h"

#include <QHash>

#include <vector>

void CQuorvelDlg::onApply() {
    saveControls();
    const int position = m_files.selectedPosition();
    // Without a selected file that was read, the tag record describes
    // another file (or none) and the fields may show yet another one.
    if (position < 0 || !m_tagIsSelected) {
        showMessage(QStringLiteral("Select a file that can be read first"));
        return;
    }
    // A message means the Output values are not what the formats meant (a
    // malformed format, a missing code): nothing is written.
    int messages = 0;
    if (!transform(true, &messages) || messages > 0)
        return;

    ApplyResult result;
    {
        const WaitCursor wait;
        // Each Apply is a run of the shared journal, so quorvel-cli undo
        // can take it back.
        JournalWriter journal;
        result =
            ApplyFile(m_tag, m_grid[RowOutput],
                      ApplyOptions{m_profile.clearOtherV2 != 0, m_profile.clearV1 != 0}, &journal);
        journal.finish();
    }
    // The entries that follow are found again by their slots once the moved
    // entry has taken its new name's place (a stale entry of exactly that
    // path gives way to it).
    std::vector<int> following;
    for (int at = position + 1; at < m_files.count(); ++at)
        following.push_back(m_files.slotAt(at));
    const int applied = result.moved ? m_files.moveEntry(position, result.target) : position;
    if (result.ok)
        m_files.setMark(applied, FileList::Mark::Applied);
    else
        m_files.setMark(applied, FileList::Mark::Failed,
                        result.messages.isEmpty() ? QStringLiteral("not applied")
                                                  : result.messages.join(QLatin1Char('\n')));
    for (const QString& message : result.messages)
        showMessage(message);
    // Tags not written: the record is read again and the fields keep what
    // they show. Another Apply then writes onto the file as it stands now
    // (one changed meanwhile was refused once, not forever), and not with
    // the frames this attempt set or cleared in the record.
    if (!result.tagsWritten)
        rereadTagRecord();
    // Refused before anything was written, tags not written or no folder to
    // move into: the file stays where it was and so does the selection. A
    // failed move steps on all the same.
    if (!result.folderReady)
        return;
    // The next entry not applied yet: an entry applied before has moved to
    // its new name's place, maybe below this one, and a second Apply would
    // compose its new name anew from the name the first one gave it. After
    // the last, the applied entry stays selected and is read anew.
    QHash<int, int> positionOf; // of each slot, found once for a long list
    for (int at = 0; at < m_files.count(); ++at)
        positionOf.insert(m_files.slotAt(at), at);
    int next = m_files.count();
    for (int slot : following) {
        const int at = positionOf.value(slot, -1);
        if (at >= 0 && m_files.markAt(at) != FileList::Mark::Applied) {
            next = at;
            break;
        }
    }
    selectFile(next);
}
