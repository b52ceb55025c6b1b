#include "runprofile.h"

#include <QTextStream>

#include "profiles/settingsstore.h"

Profile loadRunProfile(const RunOptions& options, QString* error) {
    const SettingsStore store;
    QString name;
    if (options.profileName) {
        const std::optional<QString> stored = store.findProfile(*options.profileName);
        if (!stored) {
            if (error)
                *error = QStringLiteral("unknown profile \"%1\"").arg(*options.profileName);
            return Profile::withDefaults(*options.profileName);
        }
        name = *stored;
    } else {
        // As the window's profile list chooses at opening.
        name = store.ReadText(ApplicationKey, StoreValue::LastProfile, QStringLiteral("Default"));
        if (name.isEmpty())
            name = QStringLiteral("Default");
        const QStringList stored = store.EnumProfiles();
        const auto found = std::find_if(stored.begin(), stored.end(), [&](const QString& s) {
            return s.compare(name, Qt::CaseInsensitive) == 0;
        });
        if (found != stored.end())
            name = *found;
        else if (!stored.isEmpty())
            name = stored.first();
    }
    Profile profile = store.readProfile(name);
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
