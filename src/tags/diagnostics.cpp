#include "tags/diagnostics.h"

namespace {
std::FILE* diagnosticStream = nullptr; // nullptr: standard output
}

void TagDiagnostic(const char* line) {
    std::FILE* stream = diagnosticStream ? diagnosticStream : stdout;
    std::fputs(line, stream);
    std::fflush(stream);
}

void SetTagDiagnosticStream(std::FILE* stream) {
    diagnosticStream = stream;
}
