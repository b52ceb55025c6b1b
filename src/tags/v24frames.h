#pragma once

#include "tags/framecontent.h"
#include "tags/frameinfo.h"

#include <QByteArray>

#include <vector>

// A version 2.4 frame body in the form a version 3 tag holds it: per-frame
// unsynchronisation removed, the data length indicator dropped (or, for a
// compressed frame, turned into the plain decompressed size), the flag bits
// and the group, encryption and size prefixes moved to their version 3
// places. A compressed frame without the indicator (other taggers write
// them) is inflated, up to inflateLimit bytes, for the size that version 3
// puts in front of the data.
QByteArray ConvertV24FrameBody(quint16 flags24, const QByteArray& body, bool tagUnsync,
                               quint16* flags23, qsizetype inflateLimit = MaxInflatedFrameSize);

// Version 2.4 frames that a version 3 tag cannot hold but has a counterpart
// for: TDRC becomes TYER (with TDAT and TIME when the date and time are
// there), TDOR becomes TORY. Returns false when the frame stays as it is.
bool ConvertV24OnlyFrame(const FrameInfo& frame, std::vector<FrameInfo>& replacement);
