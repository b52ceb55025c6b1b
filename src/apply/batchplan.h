#pragma once

#include <QList>
#include <QStringList>

// For each target of a batch, the indices of the other files whose target is
// the same path (empty when it is the only one). Empty targets (files that
// failed earlier) are left out.
QList<QList<int>> SharedTargets(const QStringList& targets);
