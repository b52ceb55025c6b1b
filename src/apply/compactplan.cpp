#include "compactplan.h"

#include "batchplan.h"

CompactPlan::CompactPlan(FilePlan&& plan) : m_path(plan.path), m_planned(true) {
    if (plan.ready() && plan.messages.isEmpty()) {
        // A file that keeps its name shares the text of its path.
        m_target = plan.target == m_path ? m_path : plan.target;
        m_identity = plan.identity;
        return;
    }
    plan.dropValues();
    m_whole = std::make_unique<FilePlan>(std::move(plan));
}

QString CompactPlan::target() const {
    if (m_whole)
        return m_whole->refusal ? QString() : m_whole->target;
    return m_target;
}

void CompactPlan::setSharedWith(const QStringList& named, int count) {
    if (!m_whole)
        m_whole = std::make_unique<FilePlan>(plan());
    m_whole->sharedWith = named;
    m_whole->sharedWithCount = count;
}

FilePlan CompactPlan::plan() const {
    if (m_whole)
        return *m_whole;
    FilePlan plan;
    plan.path = m_path;
    if (!m_planned) {
        plan.refusal = Refusal{QStringLiteral("not planned"),
                               QStringLiteral("Not applied: the run was stopped")};
        return plan;
    }
    plan.read = plan.composed = true;
    plan.identity = m_identity;
    plan.target = m_target;
    return plan;
}

void MarkSharedTargets(std::vector<CompactPlan>& plans) {
    QStringList targets;
    QList<bool> noLink; // a file that keeps its path passed CheckNoLink when planned
    targets.reserve(qsizetype(plans.size()));
    noLink.reserve(qsizetype(plans.size()));
    for (const CompactPlan& p : plans) {
        targets << p.target();
        noLink << (targets.last() == p.path());
    }
    const QList<SharedTarget> shared = SharedTargets(targets, noLink);
    targets.clear();
    for (size_t i = 0; i < plans.size(); ++i) {
        const SharedTarget& s = shared[qsizetype(i)];
        if (s.others == 0)
            continue;
        QStringList named;
        for (int other : s.named) {
            // The file itself under another spelling is no other file.
            const CompactPlan& o = plans[size_t(other)];
            named << (o.identity().sameFileAs(plans[i].identity()) ? plans[i].path() : o.path());
        }
        plans[i].setSharedWith(named, s.others);
    }
}

void ApplyBatch(const std::vector<CompactPlan>& plans, const Profile& profile,
                JournalWriter& journal, const BatchHooks& hooks, int partFiles) {
    const int count = int(plans.size());
    for (int first = 0; first < count; first += partFiles) {
        const int end = std::min(count, first + partFiles);
        std::vector<FilePlan> part;
        part.reserve(size_t(end - first + 1));
        for (int i = first; i < end; ++i)
            part.push_back(plans[size_t(i)].plan());
        // A refused plan closes each part but the last, so that ApplyBatch
        // calls betweenFiles after the part's last file exactly as after any
        // other; what it reports of that plan is not passed on.
        if (end < count)
            part.emplace_back().refusal = Refusal{QStringLiteral("end of part"), {}};
        BatchHooks shifted;
        shifted.stopRequested = hooks.stopRequested;
        if (hooks.starting)
            shifted.starting = [&](int k) {
                if (first + k < end)
                    hooks.starting(first + k);
            };
        if (hooks.finished)
            shifted.finished = [&](int k, const ApplyResult& r) {
                if (first + k < end)
                    hooks.finished(first + k, r);
            };
        if (hooks.betweenFiles)
            shifted.betweenFiles = [&](int k) { hooks.betweenFiles(first + k); };
        ApplyBatch(part, profile, journal, shifted);
    }
}
