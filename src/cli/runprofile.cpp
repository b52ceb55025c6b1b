#include "runprofile.h"

#include <QTextStream>

#include "profiles/settingsstore.h"

Profile loadRunProfile(const RunOptions& options, QString* error) {
    const std::optional<Profile> stored = SettingsStore().readRunProfile(options.profileName);
    if (!stored) {
        if (error)
            *error = QStringLiteral("unknown profile \"%1\"").arg(*options.profileName);
        return Profile::withDefaults(*options.profileName);
    }
    Profile profile = *stored;
    options.applyTo(profile);
    return profile;
}

std::optional<Profile> loadRunProfileOrReport(const RunOptions& options) {
    QString error;
    Profile profile = loadRunProfile(options, &error);
    if (!error.isEmpty()) {
        QTextStream(stderr) << "quorvel-cli: " << error << "\n";
        return std::nullopt;
    }
    return profile;
}
