#pragma once

#include "tags/fileidentity.h"
#include "transform/fields.h"

#include <QStringList>

#include <optional>

// Why Apply leaves a file alone, known before anything is written.
struct Refusal {
    QString status;  // a few words for the batch table ("target exists")
    QString message; // the sentence for the user; empty when the messages
                     // shown already say it (a format error)
};

// One file of a batch and what reading, transforming and checking found:
// computed once (PlanFile) and handed to whoever shows it (preview, the
// batch table) or performs it (apply).
struct FilePlan {
    QString path;          // absolute
    bool read = false;     // the tags were read and MPEG audio follows them
    FileIdentity identity; // the file as it was read
    FieldValues inputs;    // the Input values, as the window shows them
    FieldValues outputs;   // the Output values as far as composed
    bool composed = false; // the transformation ran to its end
    QString target;        // Location/Filename.mp3, absolute; empty unless composed
    QStringList messages;  // the transformation's messages, in order
    std::optional<Refusal> refusal;
    QStringList sharedWith;  // other files of the batch with the same target, the first few
    int sharedWithCount = 0; // all of them

    // Read, composed, refused by nothing and alone at its target.
    bool ready() const { return read && composed && !refusal && sharedWith.isEmpty(); }
    // What the batch table shows: "ready", "same target as x.mp3", or the
    // refusal's words.
    QString status() const;
    // The transformation's messages, then why the file is left alone.
    QStringList allMessages() const;
    // "Title: Old -> New" for each tag value that Apply would change.
    QStringList tagChanges() const;
    // Forgets the values only a display needs (a batch of 100,000 files
    // keeps its plans until it is applied).
    void dropValues();
};
