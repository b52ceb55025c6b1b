#include "batchapply.h"

#include "journal.h"
#include "originalbytes.h"
#include "parallelfor.h"
#include "planfile.h"
#include "preflight.h"
#include "profiles/profile.h"
#include "tags/selectionread.h"
#include "tags/taginfo.h"

#include <list>
#include <optional>

namespace {

// A file of the group in hand: read again right before the write, so that
// the tag record holds what the file holds now, and recorded in the journal.
struct Recorded {
    int index = 0;
    TagInfo tag;
    TagInfo::Planned plan; // what the write puts at the start of the file
    FieldValues outputs;
    JournalEntry entry;
    QString error;
    std::optional<ApplyResult> written; // with its group, ahead of its turn
};

// Start records are flushed a group at a time: one flush for many files
// instead of one each (on a disk that takes a millisecond a flush, the
// flushes of groups of 64 small files were an eighth of the run). The
// group's new tags are held in memory until written; it takes no more
// files once they pass GroupBytes. Files are read in parallel, a few at a
// time, until the group is full: small files all at once (each round of
// the threads costs a wake-up), at least ReadAtOnce of larger ones.
constexpr int GroupFiles = 256;
constexpr qint64 GroupBytes = 32 << 20;
constexpr int ReadAtOnce = 8;
constexpr qint64 ReadAtOnceBytes = 4 << 20; // of file sizes

ApplyResult refused(const FilePlan& plan) {
    ApplyResult result;
    result.target = plan.target;
    result.messages = plan.allMessages();
    return result;
}

class BatchRun {
public:
    BatchRun(std::vector<FilePlan>& plans, const Profile& profile, JournalWriter& journal,
             const BatchHooks& hooks)
        : m_plans(plans), m_profile(profile), m_journal(journal),
          m_hooks(hooks), m_options{profile.clearOtherV2 != 0, profile.clearV1 != 0} {}

    void run();

private:
    int recordGroup(int first);
    void prepare(Recorded& r);
    void writeInPlaceTogether();
    void settle(Recorded& r, ApplyResult applied);
    void recordOutcomes();
    void recordNotApplied(JournalEntry& entry);
    void finish(int index, const ApplyResult& result);

    std::vector<FilePlan>& m_plans;
    const Profile& m_profile;
    JournalWriter& m_journal;
    const BatchHooks& m_hooks;
    const ApplyOptions m_options;
    std::list<Recorded> m_group;
    std::vector<Recorded> m_written; // outcome still to be recorded
    std::vector<ApplyResult> m_results;
    std::vector<QString> m_errors; // files refused while their group was read
};

// The file as it stands now must be the file planned: same identity, same
// composition. Its original bytes, read for the journal's byte file, give
// the tag record too (one open). The checks before a write ran when the
// batch was planned; at the write itself, moments from now, the link check
// runs again, and the rest too when the file moves or its tag grows.
void BatchRun::prepare(Recorded& r) {
    const FilePlan& planned = m_plans[size_t(r.index)];
    // What follows the tag is as the plan judged it while the file is the
    // one it read (a changed file is left alone below).
    AudioContent planJudged;
    planJudged.mpeg = true;
    int result = -1;
    const OriginalBytes before = ReadOriginalBytes(planned.path, r.tag, result, planJudged);
    // Gone or replaced since it was planned (another run or program moved
    // or rewrote it): not a file that cannot be read or written.
    const FileIdentity found = before.digest.ok ? before.digest.identity : r.tag.identity;
    if (found.isKnown() ? found != planned.identity : pathGone(planned.path)) {
        // A link put in its place is refused as it would be when planned.
        const auto link = CheckNoLink(planned.path);
        r.error = link ? link->message : GoneOrChanged(planned.path, planned.target);
        return;
    }
    const FilePlan now = PlanRead(planned.path, m_profile, r.tag,
                                  SelectionOf(r.tag, result, planned.path), PlanCheck::AtWrite);
    if (!now.read) {
        r.error = now.refusal->message;
        return;
    }
    if (now.target != planned.target) {
        r.error = ChangedSinceRead(planned.path);
        return;
    }
    if (!now.ready()) {
        r.error = now.allMessages().join(u'\n'); // one line each in the result
        return;
    }
    r.outputs = now.outputs;
    QString reason;
    // A file gone meanwhile is reported changed by PrepareApplyStart itself.
    if (PrepareApplyStart(r.entry, r.tag, before, r.outputs, m_options, r.plan, r.error) &&
        !m_journal.saveHead(r.entry, &reason))
        r.error = JournalFailure(reason);
    // In the journal now.
    r.entry.head = QByteArray();
    r.entry.saved.literal = QByteArray();
    // The plan holds all the write needs: the frames are not kept till then.
    r.tag.Clear();
}

// Reads and records the ready files from first on, until the group is full;
// returns the index after the last one taken.
int BatchRun::recordGroup(int first) {
    qint64 bytes = 0;
    int i = first;
    const int count = int(m_plans.size());
    while (i < count && int(m_group.size()) < GroupFiles && bytes < GroupBytes) {
        std::vector<Recorded> batch;
        qint64 sizes = 0;
        for (; i < count && int(m_group.size() + batch.size()) < GroupFiles &&
               (int(batch.size()) < ReadAtOnce || sizes < ReadAtOnceBytes);
             ++i) {
            const FilePlan& plan = m_plans[size_t(i)];
            if (plan.ready()) {
                batch.emplace_back().index = i;
                sizes += plan.identity.size;
            }
        }
        QString journalError;
        if (!batch.empty() && !m_journal.open(&journalError))
            journalError = JournalFailure(journalError);
        ParallelFor(int(batch.size()), [&](int k) {
            Recorded& r = batch[size_t(k)];
            if (!journalError.isEmpty())
                r.error = journalError;
            else
                prepare(r);
        });
        // The batch's start records in one write.
        std::vector<JournalEntry*> starting;
        for (Recorded& r : batch) {
            if (r.error.isEmpty())
                starting.push_back(&r.entry);
        }
        QString reason;
        if (!starting.empty() && !m_journal.recordStarts(starting, &reason)) {
            for (Recorded& r : batch) {
                if (r.error.isEmpty())
                    r.error = JournalFailure(reason);
            }
        }
        for (Recorded& r : batch) {
            if (!r.error.isEmpty()) {
                m_errors[size_t(r.index)] = r.error;
                continue;
            }
            bytes += r.plan.bytes.size(); // the tag held until written
            m_group.push_back(std::move(r));
        }
    }
    return i;
}

// The files of the group that keep their path and whose new tag fits in
// place are written together, in parallel: each changes its own bytes only.
// Their start records are made durable and their begin records written
// before the first byte of any of them. The rest are written in their turn.
void BatchRun::writeInPlaceTogether() {
    std::vector<Recorded*> together;
    QList<int> seqs;
    for (Recorded& r : m_group) {
        if (WritesInPlaceOnly(r.tag, r.plan, r.outputs)) {
            together.push_back(&r);
            seqs << r.entry.seq;
        }
    }
    if (together.size() < 2)
        return;
    QString reason;
    if (!m_journal.makeDurable(seqs.last(), &reason) || !m_journal.recordBegins(seqs, &reason)) {
        // Not one of them is touched.
        for (Recorded* r : together) {
            ApplyResult& failed = r->written.emplace();
            failed.target = m_plans[size_t(r->index)].target;
            failed.messages << JournalFailure(reason);
        }
        return;
    }
    for (Recorded* r : together)
        r->entry.begun = true;
    ParallelFor(int(together.size()), [&](int k) {
        Recorded& r = *together[size_t(k)];
        r.written = ApplyBegunFile(r.tag, r.plan, r.outputs, m_options, Recheck::TagOnlyInPlace);
    });
}

// The result of the group's first file, written now or with its group.
void BatchRun::settle(Recorded& r, ApplyResult applied) {
    ApplyResult& result = m_results[size_t(r.index)];
    applied.messages = result.messages + applied.messages;
    result = std::move(applied);
    if (r.entry.begun) {
        r.tag = TagInfo(); // written; only the entry is needed now
        r.plan = TagInfo::Planned();
        m_written.push_back(std::move(r));
    }
}

// Files written whose outcome is still to be recorded: digested together,
// in parallel, when their group is done (a run cut off before that leaves
// them begun without an outcome, which undo handles).
void BatchRun::recordOutcomes() {
    ParallelFor(int(m_written.size()), [this](int k) {
        Recorded& r = m_written[size_t(k)];
        CompleteOutcome(r.entry, m_results[size_t(r.index)]);
    });
    std::vector<const JournalEntry*> entries;
    for (const Recorded& r : m_written)
        entries.push_back(&r.entry);
    if (!entries.empty())
        m_journal.recordOutcomes(entries, nullptr);
    m_written.clear();
}

// A recorded file that the run will not touch after all.
void BatchRun::recordNotApplied(JournalEntry& entry) {
    entry.done = true;
    entry.changed = false;
    entry.finalPath = entry.originalPath;
    entry.finalSize = entry.originalSize;
    entry.finalDigest = entry.originalDigest;
    m_journal.recordOutcome(entry, nullptr);
}

void BatchRun::finish(int index, const ApplyResult& result) {
    if (m_hooks.finished)
        m_hooks.finished(index, result);
}

void BatchRun::run() {
    const int count = int(m_plans.size());
    m_results.resize(size_t(count));
    m_errors.resize(size_t(count));
    int next = 0;     // the first file not yet recorded or passed over
    int reported = 0; // files handed to finished
    // Outcomes are reported once the journal holds them, so a caller that
    // reports "done" never runs ahead of what undo can take back.
    auto reportUpTo = [&](int end) {
        for (; reported < end; ++reported)
            finish(reported, m_results[size_t(reported)]);
    };
    for (int i = 0; i < count; ++i) {
        if (m_hooks.stopRequested && m_hooks.stopRequested()) {
            // What the group wrote already stays done; the rest is not begun.
            std::vector<bool> settled(size_t(count - i), false);
            for (Recorded& r : m_group) {
                if (!r.entry.begun)
                    recordNotApplied(r.entry);
                if (r.written) { // begun, or refused by the journal
                    settled[size_t(r.index - i)] = true;
                    m_results[size_t(r.index)].target = m_plans[size_t(r.index)].target;
                    m_results[size_t(r.index)].messages = m_plans[size_t(r.index)].messages;
                    settle(r, std::move(*r.written));
                }
            }
            m_group.clear();
            recordOutcomes();
            for (int j = i; j < count; ++j) {
                if (settled[size_t(j - i)])
                    continue;
                ApplyResult& result = m_results[size_t(j)];
                result.target = m_plans[size_t(j)].target;
                result.messages << QStringLiteral("Not applied: the run was stopped");
            }
            break;
        }
        if (m_hooks.starting)
            m_hooks.starting(i);
        FilePlan& plan = m_plans[size_t(i)];
        ApplyResult& result = m_results[size_t(i)];
        if (!plan.ready()) {
            result = refused(plan);
            continue;
        }
        result.target = plan.target;
        result.messages = plan.messages;
        if (m_group.empty() && next <= i) {
            recordOutcomes();
            reportUpTo(i);
            next = recordGroup(i);
            // A run stopped between two files writes one at a time; a stop
            // asked for while the group was read leaves it unwritten.
            if (!m_hooks.betweenFiles && !(m_hooks.stopRequested && m_hooks.stopRequested()))
                writeInPlaceTogether();
        }
        if (m_group.empty() || m_group.front().index != i) {
            result.messages << m_errors[size_t(i)].split(u'\n'); // refused while its group was read
            continue;
        }
        Recorded& r = m_group.front();
        settle(r, r.written ? std::move(*r.written)
                            : ApplyRecordedFile(r.tag, r.plan, r.outputs, m_options, m_journal,
                                                r.entry, Outcome::Later, Recheck::TagOnlyInPlace));
        m_group.pop_front();
        if (m_hooks.betweenFiles && i + 1 < count) {
            recordOutcomes(); // the journal as a run between two files leaves it
            reportUpTo(i + 1);
            m_hooks.betweenFiles(i);
        }
    }
    recordOutcomes();
    reportUpTo(count);
}

} // namespace

void ApplyBatch(std::vector<FilePlan>& plans, const Profile& profile, JournalWriter& journal,
                const BatchHooks& hooks) {
    BatchRun(plans, profile, journal, hooks).run();
}

ApplyResult DryRunResult(const FilePlan& plan) {
    if (!plan.ready())
        return refused(plan);
    ApplyResult result;
    result.ok = result.tagsWritten = result.folderReady = result.moved = true;
    result.target = plan.target;
    result.messages = plan.messages;
    return result;
}
