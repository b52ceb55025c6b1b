#pragma once

#include "batchapply.h"
#include "fileplan.h"

#include <memory>
#include <vector>

// A FilePlan as a batch keeps it between planning and applying. Apply reads
// each file again and takes its values then, so a ready plan keeps only its
// path, target and identity; any other plan (a refusal, messages, files
// with the same target) is kept whole. 100,000 ready FilePlans took 58 MB
// before their strings (584 bytes each); so they take 9 MB.
class CompactPlan {
public:
    // A file that was never planned: a stop request came first. Its plan is
    // refused, "not planned".
    explicit CompactPlan(const QString& path) : m_path(path) {}
    explicit CompactPlan(FilePlan&& plan);

    const QString& path() const { return m_path; }
    const FileIdentity& identity() const { return m_identity; }
    // Where the file would go; empty when it is refused.
    QString target() const;
    // Files of the batch with the same target: the plan is no longer ready.
    void setSharedWith(const QStringList& named, int count);
    // The plan again, as FilePlan::dropValues leaves it.
    FilePlan plan() const;

private:
    QString m_path;
    QString m_target; // of a ready plan
    FileIdentity m_identity;
    bool m_planned = false;
    std::unique_ptr<FilePlan> m_whole; // a plan that is not ready
};

// MarkSharedTargets for compact plans, made from plans that PlanFile
// checked (PlanCheck::Now): a file that keeps its path was found no
// symbolic link then, and is not looked at again. A link put at its path
// since (to another file of the batch, say) is refused when the batch reads
// the file again, or by its write, which opens no link, instead of here as
// a shared target.
void MarkSharedTargets(std::vector<CompactPlan>& plans);

// ApplyBatch for compact plans, as one run of the journal: the plans are
// made whole and handed to ApplyBatch partFiles at a time. The hooks are
// called as ApplyBatch calls them, with the indices of plans.
void ApplyBatch(const std::vector<CompactPlan>& plans, const Profile& profile,
                JournalWriter& journal, const BatchHooks& hooks, int partFiles = 4096);
