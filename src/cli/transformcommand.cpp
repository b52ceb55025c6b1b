#include "transformcommand.h"

#include "command.h"
#include "runprofile.h"

std::optional<int> startTransformCommand(const QStringList& arguments, const QString& command,
                                         const QString& usage, const QStringList& switches,
                                         TransformCommand& out) {
    QStringList args = arguments;
    RunOptions options;
    QString error;
    if (!takeRunOptions(args, options, error))
        return usageError(error);
    if (const auto status = takeFileArgs(
            args, command, switches,
            QStringLiteral("Usage: quorvel-cli %1\n\n").arg(usage) + runOptionsHelp(), out.given))
        return status;
    const std::optional<Profile> profile = loadRunProfileOrReport(options);
    if (!profile)
        return ExitFailed;
    out.profile = *profile;
    return std::nullopt;
}
