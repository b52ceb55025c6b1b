#pragma once

#include "transform/fields.h"

#include <QStringList>

class TagInfo;
class JournalWriter;

// What Apply did (or, for a preview, would do) with one file.
struct ApplyResult {
    bool ok = false; // tags written, folder in place and file moved
    bool tagsWritten = false;
    bool folderCreated = false; // at least one level of the Location was made
    bool folderReady = false;   // the Location stands as a folder; the move was tried
    bool moved = false;         // the file stands at the target (its own path counts)
    QString target;             // Location + "/" + Filename + ".mp3"
    QStringList messages;       // in the order they arose
};

// The options of the profile that Apply reads.
struct ApplyOptions {
    bool clearOtherV2 = false;
    bool clearV1 = false;
};

// Location, "/", Filename and ".mp3" in lower case, whatever the extension
// was. Nothing is normalised: a Location ending in "/" gives "//".
QString ApplyTarget(const FieldValues& output);

// Carries the Output values of a transformation run into the file that tag
// was read from: clears the other frames and sets removeV1 as the options
// say, sets the seven frames (Artist into both "TPE1" and "TPE2"; an empty
// value sets nothing), writes the tag, creates the Location with every
// missing level and moves the file to the target without replacing
// anything. Stops at the first failure; the tag record keeps the frames as
// set. With a journal, the original bytes that the write will change are
// recorded and flushed before the file is touched; when that fails, the file
// is left alone.
ApplyResult ApplyFile(TagInfo& tag, const FieldValues& output, const ApplyOptions& options,
                      JournalWriter* journal = nullptr);

// The same decisions without changing anything on disk: whether the file
// can be opened for writing, whether the Location can be made and whether
// the target is free.
ApplyResult PreviewApply(const QString& path, const FieldValues& output);
