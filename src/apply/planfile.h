#pragma once

#include "fileplan.h"

#include <QStringList>

#include <functional>
#include <vector>

class TagInfo;
struct Profile;

// Plans one file as Apply would handle it: reads it as the window does on
// selection (a file that cannot be read, or holds no MPEG audio, is refused
// with the reason), runs the profile's transformation with its messages
// (any message refuses the file: its Output values are incomplete),
// composes the absolute target and runs CheckBeforeApply (unless
// PlanCheck::AtWrite: the caller writes the file at once, and the write
// runs it). tag keeps the record read, which Apply writes.
enum class PlanCheck { Now, AtWrite };
FilePlan PlanFile(const QString& path, const Profile& profile, TagInfo& tag,
                  PlanCheck check = PlanCheck::Now);
FilePlan PlanFile(const QString& path, const Profile& profile);
// PlanFile for a tag record already read from path, read as its selection.
struct SelectionRead;
FilePlan PlanRead(const QString& path, const Profile& profile, const TagInfo& tag,
                  const SelectionRead& read, PlanCheck check);

// Plans the files on a few threads at once and hands each plan to planned,
// on the calling thread, in the order of paths, as soon as it is known.
// Stops starting new files once stop() is true. Returns how many were
// planned.
int PlanFiles(const QStringList& paths, const Profile& profile,
              const std::function<void(int index, FilePlan&& plan)>& planned,
              const std::function<bool()>& stop = {});

// Files of the batch that would land on the same path (as the file system
// resolves it): each learns the others in sharedWith, and none of them is
// applied. Refused files take part in nothing.
void MarkSharedTargets(std::vector<FilePlan>& plans);
