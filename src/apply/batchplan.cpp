#include "batchplan.h"

#include "absolutepath.h"

#include <QHash>

QList<QList<int>> SharedTargets(const QStringList& targets) {
    QHash<QString, QList<int>> byPath;
    for (int i = 0; i < targets.size(); ++i) {
        if (!targets[i].isEmpty())
            byPath[ResolvedPathKey(targets[i])].append(i);
    }
    QList<QList<int>> shared(targets.size());
    for (const QList<int>& group : std::as_const(byPath)) {
        for (int i : group) {
            for (int j : group) {
                if (j != i)
                    shared[i].append(j);
            }
        }
    }
    return shared;
}
