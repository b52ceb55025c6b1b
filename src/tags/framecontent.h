#pragma once

#include <QByteArray>

#include <optional>

// Contents larger than this are not inflated (the frame stays opaque): text
// frames and comments are far smaller, and a few bytes of zlib data can
// claim gigabytes.
constexpr qsizetype MaxInflatedFrameSize = 1024 * 1024;
// Nor, all frames of one tag together, more than this: a thousand small
// frames could each claim the most.
constexpr qsizetype MaxInflatedTagSize = 16 * 1024 * 1024;

// The content of a frame body held in the version 3 form with these flags
// (FrameFlagCompressed and the others): the decompressed size and the group
// byte taken off, the zlib data inflated. nullopt when there is no content
// to have: the frame is encrypted, the body is too short for its flags, or
// the data does not inflate to at most its declared size, nor to at most
// limit bytes.
std::optional<QByteArray> FrameContent(const QByteArray& body, quint16 flags,
                                       qint64 limit = MaxInflatedFrameSize);
