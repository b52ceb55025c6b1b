#include "runprofile.h"

#include <QTextStream>

#include "profiles/optioncontrols.h"
#include "profiles/settingsstore.h"

Profile loadRunProfile(const RunOptions& options, QString* error) {
    const SettingsStore store;
    bool damaged = false;
    const std::optional<Profile> stored = store.readRunProfile(options.profileName, &damaged);
    if (!stored) {
        // A damaged store is not run on defaults: its profiles are the user's.
        const QString name = options.profileName.value_or(QStringLiteral("Default"));
        if (error)
            *error = damaged ? CannotReadStore(store)
                             : QStringLiteral("unknown profile \"%1\"").arg(name);
        return Profile::withDefaults(name);
    }
    Profile profile = *stored;
    options.applyTo(profile);
    takeOptionsAsWindow(profile);
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
