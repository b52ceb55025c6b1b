#pragma once

#include <QList>
#include <QStringList>

// The other files of a batch whose target is the same path as one file's:
// the first few of them by index, and how many there are. A folder of
// untagged files may all land on one path, and naming each of 10,000 files
// in each other's report would take 10,000 squared.
struct SharedTarget {
    static constexpr int Named = 3;
    QList<int> named; // at most Named, in the order of the batch
    int others = 0;   // all of them; 0 when the file is alone at its target
    friend bool operator==(const SharedTarget&, const SharedTarget&) = default;
};

// For each target of a batch, the other files with the same target. Empty
// targets (files that failed earlier) are left out. noLink[i], where given,
// says that targets[i] was found no symbolic link itself (a file that keeps
// its path, checked when planned): it is not looked at again.
QList<SharedTarget> SharedTargets(const QStringList& targets, const QList<bool>& noLink = {});
