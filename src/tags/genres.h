#pragma once

// The ID3v1 genre names, indices 0 to 125; nullptr for any other index.
const char* GenreName(int index);
constexpr int GenreCount = 126;
