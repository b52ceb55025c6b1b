#pragma once

#include <QString>

// How a profile name becomes the name of its group in the settings store.
//
// Most names are used as they stand. A name that cannot be one group name is
// stored under an encoded name instead: the empty name (it would address the
// application key), a name with "/" or "\" (it would address a nested key), a
// name longer than a registry key name may be, "general" in any letter case
// (the settings file would give it back as "General"), and a name that begins
// with the encoding's own mark "~" (so that no plain name can ever equal an
// encoded one). The encoded group keeps the real name in its value "ProfileName".

inline constexpr int MaxPlainGroupLength = 255;

// The value that holds the real name of a profile stored under an encoded group.
QString profileNameValue();

bool needsEncodedGroup(const QString& name);
bool isEncodedGroup(const QString& group);

// The group for a new profile key. Case variants of one name give the same
// encoded group, as key names compare without regard to case.
QString groupNameFor(const QString& name);
