#pragma once

#include "tags/frameinfo.h"

#include <list>

// Version 2.4 splits the involved people list of version 2.3 (IPLS) in two:
// TIPL (roles such as producer or engineer) and TMCL (musicians and their
// instruments). The three bodies are alike: an encoding byte, then role
// and person strings, each ended by a terminator.
bool IsV24PeopleListId(const char* id);

// Version 2.3 holds one IPLS frame: appends the pairs of more (an IPLS frame
// as read) to the IPLS frame among frames. Returns false, and changes
// nothing, when there is none or either list cannot be decoded.
bool JoinPeopleList(std::list<FrameInfo>& frames, const FrameInfo& more);
