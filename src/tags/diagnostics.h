#pragma once

#include <cstdio>

// The tag layer's diagnostic lines go to standard output; a caller that
// needs standard output for itself (JSON output) sends them elsewhere.
void TagDiagnostic(const char* line);
void SetTagDiagnosticStream(std::FILE* stream);
