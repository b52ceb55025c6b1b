#pragma once

#include "profile.h"

#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class QSettings;
class QVariant;

// The key a store operation addresses: a profile name, or ApplicationKey for
// the application key itself (where "LastProfile" lives). The empty profile
// name is an ordinary profile and never addresses the application key.
using StoreKey = std::optional<QString>;
inline constexpr std::nullopt_t ApplicationKey = std::nullopt;

enum class Exchange { Read, Write };
enum class LastProfileUpdate { Write, Keep };
enum class Deletion { Done, NotStored, OnlyProfile, Failed };

// Value names of the profile key and of the application key.
namespace StoreValue {
inline const QString LastProfile = QStringLiteral("LastProfile");
inline const QString Separator = QStringLiteral("Separator");
inline const QString Case = QStringLiteral("Case");
inline const QString Ansi = QStringLiteral("ANSI");
inline const QString ClearOtherV2 = QStringLiteral("ClearOtherV2");
inline const QString ClearV1 = QStringLiteral("ClearV1");
// "Field%d_%d": row 1 holds the parse formats, row 2 the create formats.
QString field(int row, int field);
} // namespace StoreValue

// The profiles in the user's settings store (QSettings, organisation
// "Norvesta", application storeApplicationName()). One group per profile;
// group names compare without regard to case (see profilekeys.h for names
// that cannot be a group).
//
// Every operation opens the store, does its work and closes it again, so that
// two running programs see each other's saves. Each operation holds a lock
// shared by every Quorvel program (the file "<store>.access-lock"), so
// saving one profile never drops another program's changes to another one.
// Failures are silent: a read that fails gives its default, a write that fails
// is lost and returns false. A store file that cannot be read or parsed is
// treated as empty and is never written, so a damaged file is never replaced
// by defaults.
class SettingsStore {
public:
    // The current user's store for the running executable.
    SettingsStore();
    // A store kept in an INI file of its own.
    explicit SettingsStore(const QString& iniFile);
    ~SettingsStore();

    QString ReadText(const StoreKey& profile, const QString& valueName,
                     const QString& defaultValue) const;
    int ReadInt(const StoreKey& profile, const QString& valueName, int defaultValue) const;
    bool WriteText(const StoreKey& profile, const QString& valueName, const QString& text);
    bool WriteInt(const StoreKey& profile, const QString& valueName, int value);

    // The profile names in the store's own order.
    QStringList EnumProfiles() const;
    // The stored spelling of a profile name compared without regard to case;
    // "Default" in a store that holds no profile yet.
    std::optional<QString> findProfile(const QString& name) const;
    // Deletes the profile key with everything below it. With keepOne, the
    // only profile stored stays: counted and deleted under one lock, so two
    // programs deleting at once never leave the store without a profile.
    Deletion DeleteProfileKey(const QString& name, bool keepOne = false);

    // The stored profile with defaults for missing values, creating its key
    // when missing (so that the name is listed at the next start).
    Profile LoadProfile(const QString& name);
    // The same values without creating anything.
    Profile readProfile(const QString& name) const;
    // With one open of the store: the profile called name (found as
    // findProfile finds it; nothing when there is none), or, without a name,
    // the one the window opens with: "LastProfile", else the first stored
    // profile, else "Default". Nothing, with damaged set, when the store's
    // file cannot be read or parsed.
    std::optional<Profile> readRunProfile(const std::optional<QString>& name,
                                          bool* damaged = nullptr) const;
    // False when the store's file exists but cannot be read or parsed (a
    // store not made yet is empty, and readable).
    bool isReadable() const;
    // Writes all 21 values of the profile and, unless told to keep it,
    // "LastProfile" = the profile's name first.
    bool SaveProfile(const Profile& profile, LastProfileUpdate last = LastProfileUpdate::Write);
    // Reads the profile called name (under its stored spelling, as
    // findProfile finds it; the defaults when there is none), lets change
    // change it and saves it, the store locked throughout: a program that
    // saves the profile meanwhile waits, and its change is not lost.
    bool UpdateProfile(const QString& name, const std::function<void(Profile&)>& change,
                       LastProfileUpdate last = LastProfileUpdate::Write);
    // Reads or writes the 16 formats of the named profile.
    bool ExchangeFormats(const QString& name, Profile& profile, Exchange direction);

    // Where the store lives (for messages and tests).
    QString fileName() const;

private:
    struct LockedSettings;
    std::unique_ptr<QSettings> open() const;
    LockedSettings openLocked() const;
    // The store was opened and its file can be read and parsed.
    static bool readable(const LockedSettings& session);
    bool writeValue(const StoreKey& profile, const QString& valueName, const QVariant& value);

    QString m_iniFile; // empty: the user's store
    QString m_application;
};

// "cannot read the settings store <file>"
QString CannotReadStore(const SettingsStore& store);
// Why a save failed: that, or "cannot write the settings store <file>" when
// the store reads but cannot be written.
QString CannotSaveToStore(const SettingsStore& store);
