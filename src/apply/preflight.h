#pragma once

#include "fileplan.h"
#include "transform/fields.h"

#include <functional>
#include <optional>

// Longest name and path the file systems of a Linux desktop take.
inline constexpr qsizetype MaxNameBytes = 255;
inline constexpr qsizetype MaxPathBytes = 4095;

// Whether Apply can carry the Output values into the file at path without
// stopping half-way, checked before anything is written, in this order:
// the path is no symbolic link (the message names the link and the file it
// leads to; folders reached through links are fine); the new file name is
// not empty and not only dots; the target is a path that can be spelt in
// bytes (see pathBytes), every name of it at most MaxNameBytes and the
// whole at most MaxPathBytes; the file can be opened for writing; its
// folder is writable and searchable up the chain and, where it has the
// sticky bit, lets this user take the file out (a move, a write that grows
// the tag and a later undo all need that); the Location exists as a folder
// or can be made (the deepest existing level writable and searchable); the
// target is free or the file's own path; the target's file system has room
// for the folders still to be made and, when the file is copied there, for
// the file as the write leaves it (growth: the bytes the new tag adds, asked
// only then). Changes nothing; --dry-run and the window's Apply get the
// same answers as the run itself.
std::optional<Refusal> CheckBeforeApply(const QString& path, const FieldValues& outputs,
                                        const std::function<qint64()>& growth = {});
// The first of those checks alone: the path is no symbolic link.
std::optional<Refusal> CheckNoLink(const QString& path);

// 0 when the file at path may be renamed out of its folder (write and search
// permission, and the rule of a folder with the sticky bit) and into the
// folder of to (write and search permission), else the errno. Changes
// nothing.
int CheckMayMove(const QString& path, const QString& to);
