#include "fileplan.h"

QString FilePlan::status() const {
    if (refusal)
        return refusal->status;
    if (!read || !composed)
        return QStringLiteral("not planned");
    if (!sharedWith.isEmpty()) {
        if (sharedWith.contains(path))
            return QStringLiteral("given more than once");
        const QString first = sharedWith.first();
        return QStringLiteral("same target as %1").arg(first.mid(first.lastIndexOf(u'/') + 1));
    }
    return QStringLiteral("ready");
}

QStringList FilePlan::allMessages() const {
    QStringList all = messages;
    if (refusal && !refusal->message.isEmpty())
        all << refusal->message;
    // The same file named twice on a command line is no other file.
    QStringList shared;
    for (const QString& other : sharedWith)
        shared << (other == path ? QStringLiteral("%1 is given more than once")
                                 : QStringLiteral("%1 has the same target"))
                      .arg(other);
    shared.removeDuplicates();
    all << shared;
    if (const qsizetype more = sharedWithCount - sharedWith.size(); more == 1)
        all << QStringLiteral("1 more file has the same target");
    else if (more > 1)
        all << QStringLiteral("%1 more files have the same target").arg(more);
    return all;
}

QStringList FilePlan::tagChanges() const {
    QStringList changes;
    if (!composed)
        return changes;
    for (int f = FieldArtist; f < FieldCount; ++f) {
        // An empty Output value sets nothing.
        if (!outputs[f].isEmpty() && outputs[f] != inputs[f])
            changes << QStringLiteral("%1: %2 -> %3").arg(fieldKey(f), inputs[f], outputs[f]);
    }
    return changes;
}

void FilePlan::dropValues() {
    inputs = {};
    outputs = {};
}
