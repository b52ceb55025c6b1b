#include "planfile.h"

#include "applyservice.h"
#include "batchplan.h"
#include "inorder.h"
#include "preflight.h"
#include "profiles/profile.h"
#include "tags/selectionread.h"
#include "tags/taginfo.h"
#include "transform/transform.h"

FilePlan PlanFile(const QString& path, const Profile& profile, TagInfo& tag, PlanCheck check) {
    return PlanRead(path, profile, tag, ReadSelection(tag, path), check);
}

FilePlan PlanRead(const QString& path, const Profile& profile, const TagInfo& tag,
                  const SelectionRead& read, PlanCheck check) {
    FilePlan plan;
    plan.path = path;
    if (!read.ok) {
        plan.refusal = Refusal{QStringLiteral("not read: %1").arg(read.failure),
                               QStringLiteral("Cannot read %1: %2").arg(path, read.failure)};
        return plan;
    }
    plan.read = true;
    plan.identity = tag.identity;
    plan.inputs = read.inputs;
    FieldGrid grid{read.inputs, profile.parse, profile.create, FieldValues{}};
    plan.composed = Transform(grid, TransformOptions::fromProfile(profile), true, false,
                              [&plan](const QString& m) { plan.messages << m; });
    plan.outputs = grid[RowOutput];
    // A format error leaves the run going with part of the format, a missing
    // code stops it half-way: either way the values are not what was meant.
    if (!plan.messages.isEmpty() || !plan.composed) {
        plan.refusal =
            Refusal{QStringLiteral("format: %1")
                        .arg(plan.messages.value(0, QStringLiteral("the transformation stopped"))),
                    {}};
        return plan;
    }
    plan.target = ApplyTarget(plan.outputs);
    if (check == PlanCheck::Now) {
        const ApplyOptions options{profile.clearOtherV2 != 0, profile.clearV1 != 0};
        plan.refusal = CheckBeforeApply(path, plan.outputs,
                                        [&] { return ApplyGrowth(tag, plan.outputs, options); });
    }
    return plan;
}

FilePlan PlanFile(const QString& path, const Profile& profile) {
    TagInfo tag;
    return PlanFile(path, profile, tag);
}

int PlanFiles(const QStringList& paths, const Profile& profile,
              const std::function<void(int, FilePlan&&)>& planned,
              const std::function<bool()>& stop) {
    return ProduceInOrder<FilePlan>(
        int(paths.size()), [&](int i) { return PlanFile(paths[i], profile); }, planned, stop);
}

void MarkSharedTargets(std::vector<FilePlan>& plans) {
    QStringList targets;
    for (const FilePlan& p : plans)
        targets << (p.refusal ? QString() : p.target);
    const QList<SharedTarget> shared = SharedTargets(targets);
    for (size_t i = 0; i < plans.size(); ++i) {
        for (int other : shared[qsizetype(i)].named) {
            // The file itself under another spelling is no other file.
            const FilePlan& o = plans[size_t(other)];
            plans[i].sharedWith << (o.identity.sameFileAs(plans[i].identity) ? plans[i].path
                                                                             : o.path);
        }
        plans[i].sharedWithCount = shared[qsizetype(i)].others;
    }
}
