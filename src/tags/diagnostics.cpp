#include "tags/diagnostics.h"

#include <atomic>

namespace {
std::atomic<std::FILE*> diagnosticStream{nullptr}; // nullptr: standard output
std::atomic<TagDiagnosticNamer> diagnosticNamer{nullptr};

void writeLine(const QByteArray& line) {
    std::FILE* stream = diagnosticStream.load();
    if (!stream)
        stream = stdout;
    // One call a line: lines from several reading threads do not mix.
    std::fputs(line.constData(), stream);
    std::fflush(stream);
}
} // namespace

void TagDiagnostic(const char* line) {
    writeLine(QByteArray(line));
}

void TagDiagnostic(const QString& path, const char* line) {
    const TagDiagnosticNamer namer = diagnosticNamer.load();
    if (!namer || path.isEmpty())
        return TagDiagnostic(line);
    writeLine(namer(path) + ": " + line);
}

void SetTagDiagnosticStream(std::FILE* stream) {
    diagnosticStream = stream;
}

void SetTagDiagnosticNamer(TagDiagnosticNamer namer) {
    diagnosticNamer = namer;
}
