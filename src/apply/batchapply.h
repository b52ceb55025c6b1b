#pragma once

#include "applyservice.h"
#include "fileplan.h"

#include <functional>
#include <vector>

class JournalWriter;
struct Profile;

// What a batch reports while it runs. Every callback is optional and runs on
// the thread that called ApplyBatch.
struct BatchHooks {
    // Asked before each file: true stops the batch after the file in hand;
    // what is done stays done (and in the journal), the files its group
    // wrote together with it included.
    std::function<bool()> stopRequested;
    // The file at index is next.
    std::function<void(int index)> starting;
    // The outcome of the file at index, once for every file, in order
    // (refused and not applied ones too).
    std::function<void(int index, const ApplyResult& result)> finished;
    // After each file that was applied and before the next (tests stop a
    // run exactly there); the journal is as a run between two files leaves
    // it.
    std::function<void(int index)> betweenFiles;
};

// Applies a planned batch in the order of plans as one run of the journal.
// Files that are not ready are reported with their refusal and not
// touched. The others are read again (once: the tag and the journal's
// bytes come from the same read), a few at a time and in parallel,
// recorded a group at a time with one flush (no file is touched before its
// record is on disk), then written and moved in order; files that keep their
// path and whose new tag fits in place are written together, in parallel,
// when their group begins (unless betweenFiles is set). A file that no
// longer reads as it did when planned is left alone: "<path> changed since
// it was read". Once stopRequested() is true the files not begun are
// reported "Not applied: the run was stopped".
void ApplyBatch(std::vector<FilePlan>& plans, const Profile& profile, JournalWriter& journal,
                const BatchHooks& hooks);

// What --dry-run reports for a plan: what ApplyBatch would do, without doing
// it.
ApplyResult DryRunResult(const FilePlan& plan);
