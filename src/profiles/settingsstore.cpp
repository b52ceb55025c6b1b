#include "settingsstore.h"

#include "profilekeys.h"
#include "storename.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLockFile>
#include <QMutex>
#include <QSettings>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <limits>

#include <sys/stat.h>
#include <unistd.h>

namespace {

struct FileStamp {
    QDateTime modified;
    qint64 size = -1;
    bool operator==(const FileStamp&) const = default;
};

FileStamp stampOf(const QString& fileName) {
    const QFileInfo info(fileName);
    return {info.lastModified(), info.exists() ? info.size() : -1};
}

// Whether the file can be read, or is simply not there yet (a folder on the
// way that cannot be searched counts as neither).
bool readableOrAbsent(const QString& fileName) {
    const QByteArray name = QFile::encodeName(fileName);
    // A folder (or a named pipe, whose open would wait for a writer) in its
    // place reads as no settings at all, not as a store without profiles.
    struct stat st;
    if (::stat(name.constData(), &st) == 0 && !S_ISREG(st.st_mode))
        return false;
    return ::access(name.constData(), R_OK) == 0 || errno == ENOENT;
}

// Whether the store file could be read and parsed. QSettings parses a file on
// first access and shares the parsed file between its objects in a process,
// reporting a parse error only to the object that parsed it; so a damaged
// file is remembered here until it changes on disk.
bool readable(const QSettings& s) {
    static QMutex mutex;
    static QHash<QString, FileStamp> damaged;
    (void)s.childGroups();
    const QString fileName = s.fileName();
    const QMutexLocker lock(&mutex);
    // Asked of the file itself: QSettings takes a file behind a folder it
    // cannot search for one not written yet, and reports an access error
    // for a write that failed (a read-only file), which leaves what was read
    // sound.
    const bool cannotRead = s.status() == QSettings::FormatError || !readableOrAbsent(fileName);
    if (cannotRead) {
        damaged.insert(fileName, stampOf(fileName));
        return false;
    }
    const auto known = damaged.constFind(fileName);
    if (known == damaged.cend())
        return true;
    if (*known == stampOf(fileName))
        return false;
    damaged.erase(known);
    return true;
}

// The value's path in the store; group is empty for the application key.
QString path(const QString& group, const QString& valueName) {
    return group.isEmpty() ? valueName : group + QLatin1Char('/') + valueName;
}

QString displayName(const QSettings& s, const QString& group) {
    if (isEncodedGroup(group)) {
        const QVariant stored = s.value(path(group, profileNameValue()));
        if (stored.isValid())
            return stored.toString();
    }
    return group;
}

// The existing group of a profile, found without regard to case.
std::optional<QString> existingGroup(const QSettings& s, const QString& name) {
    // A store edited by hand may hold two groups equal but for case: the
    // one of exactly this name is this profile, never the other one.
    std::optional<QString> found;
    const QStringList groups = s.childGroups();
    for (const QString& group : groups) {
        const QString shown = displayName(s, group);
        if (shown == name)
            return group;
        if (!found && shown.compare(name, Qt::CaseInsensitive) == 0)
            found = group;
    }
    return found;
}

QString groupFor(const QSettings& s, const StoreKey& key) {
    if (!key)
        return QString();
    return existingGroup(s, *key).value_or(groupNameFor(*key));
}

QString textOf(const QVariant& v, const QString& defaultValue) {
    if (!v.isValid())
        return defaultValue;
    // A hand-edited value with unquoted commas reads as a list.
    QString text = v.typeId() == QMetaType::QStringList ? v.toStringList().join(QLatin1Char(','))
                                                        : v.toString();
    const qsizetype nul = text.indexOf(QChar(0));
    if (nul >= 0)
        text.truncate(nul);
    return text;
}

int intOf(const QVariant& v, int defaultValue) {
    if (!v.isValid())
        return defaultValue;
    // Through 64 bits, as QVariant's own conversion to int wraps larger values.
    bool ok = false;
    const qlonglong value = v.toLongLong(&ok);
    if (!ok || value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
        return defaultValue;
    return int(value);
}

void readValues(const QSettings& s, const QString& group, Profile& p) {
    p.separator = textOf(s.value(path(group, StoreValue::Separator)), QStringLiteral("SPACE"));
    p.caseMode = std::max(0, intOf(s.value(path(group, StoreValue::Case)), 0));
    p.ansi = intOf(s.value(path(group, StoreValue::Ansi)), 0);
    p.clearOtherV2 = intOf(s.value(path(group, StoreValue::ClearOtherV2)), 0);
    p.clearV1 = intOf(s.value(path(group, StoreValue::ClearV1)), 0);
}

void exchangeFormats(QSettings& s, const QString& group, Profile& p, Exchange direction) {
    for (int row : {RowParse, RowCreate}) {
        FieldValues& formats = row == RowParse ? p.parse : p.create;
        for (int f = 0; f < FieldCount; ++f) {
            const QString key = path(group, StoreValue::field(row, f));
            if (direction == Exchange::Read)
                formats[f] = textOf(s.value(key), fieldCode(f));
            else
                s.setValue(key, formats[f]);
        }
    }
}

void writeValues(QSettings& s, const QString& group, Profile p) {
    s.setValue(path(group, StoreValue::Separator), p.separator);
    s.setValue(path(group, StoreValue::Case), p.caseMode);
    s.setValue(path(group, StoreValue::Ansi), p.ansi);
    s.setValue(path(group, StoreValue::ClearOtherV2), p.clearOtherV2);
    s.setValue(path(group, StoreValue::ClearV1), p.clearV1);
    exchangeFormats(s, group, p, Exchange::Write);
}

// An encoded group carries the name it stands for.
void markEncoded(QSettings& s, const QString& group, const QString& name) {
    if (isEncodedGroup(group) && !s.contains(path(group, profileNameValue())))
        s.setValue(path(group, profileNameValue()), name);
}

bool commit(QSettings& s) {
    s.sync();
    return s.status() == QSettings::NoError;
}

} // namespace

// The store opened under a lock shared by every Quorvel program. QSettings
// keeps a parsed file per process and re-reads it only when the file's size or
// time stamp changed; a read that races with another program's save can keep
// old content under the new stamp, and the next save then writes the other
// program's change away. Holding the lock from before each read until after
// each sync makes every access see what the last save wrote.
struct SettingsStore::LockedSettings {
    std::unique_ptr<QLockFile> lock;
    QString file;
    std::unique_ptr<QSettings> settings; // none when what stands at file is no file
    QSettings& operator*() const { return *settings; }
    QSettings* operator->() const { return settings.get(); }
};

bool SettingsStore::readable(const LockedSettings& session) {
    return session.settings && ::readable(*session.settings);
}

QString StoreValue::field(int row, int field) {
    return QStringLiteral("Field%1_%2").arg(row).arg(field);
}

SettingsStore::SettingsStore() : m_application(currentStoreApplicationName()) {}

SettingsStore::SettingsStore(const QString& iniFile) : m_iniFile(iniFile) {}

SettingsStore::~SettingsStore() = default;

std::unique_ptr<QSettings> SettingsStore::open() const {
    if (!m_iniFile.isEmpty())
        return std::make_unique<QSettings>(m_iniFile, QSettings::IniFormat);
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       QString::fromLatin1(StoreOrganization), m_application);
}

SettingsStore::LockedSettings SettingsStore::openLocked() const {
    LockedSettings session;
    const QString file =
        m_iniFile.isEmpty()
            ? QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                  QLatin1Char('/') + QString::fromLatin1(StoreOrganization) + QLatin1Char('/') +
                  m_application + QStringLiteral(".conf")
            : m_iniFile;
    QDir().mkpath(QFileInfo(file).absolutePath());
    session.lock = std::make_unique<QLockFile>(file + QStringLiteral(".access-lock"));
    // A lock that cannot be had in time is given up rather than hanging the
    // program; the access then goes ahead as QSettings alone would make it.
    session.lock->tryLock(10000);
    session.file = file;
    // QSettings reads its file as it is made: a named pipe would keep it
    // waiting for a writer.
    struct stat st;
    if (::stat(QFile::encodeName(file).constData(), &st) == 0 && !S_ISREG(st.st_mode))
        return session;
    session.settings = open();
    return session;
}

bool SettingsStore::isReadable() const {
    return readable(openLocked());
}

QString SettingsStore::fileName() const {
    const auto s = openLocked();
    return s.settings ? s->fileName() : s.file;
}

QString CannotReadStore(const SettingsStore& store) {
    return QStringLiteral("cannot read the settings store %1").arg(store.fileName());
}

QString CannotSaveToStore(const SettingsStore& store) {
    return store.isReadable()
               ? QStringLiteral("cannot write the settings store %1").arg(store.fileName())
               : CannotReadStore(store);
}

QString SettingsStore::ReadText(const StoreKey& profile, const QString& valueName,
                                const QString& defaultValue) const {
    const auto s = openLocked();
    if (!readable(s))
        return defaultValue;
    return textOf(s->value(path(groupFor(*s, profile), valueName)), defaultValue);
}

int SettingsStore::ReadInt(const StoreKey& profile, const QString& valueName,
                           int defaultValue) const {
    const auto s = openLocked();
    if (!readable(s))
        return defaultValue;
    return intOf(s->value(path(groupFor(*s, profile), valueName)), defaultValue);
}

bool SettingsStore::WriteText(const StoreKey& profile, const QString& valueName,
                              const QString& text) {
    return writeValue(profile, valueName, text);
}

bool SettingsStore::WriteInt(const StoreKey& profile, const QString& valueName, int value) {
    return writeValue(profile, valueName, value);
}

bool SettingsStore::writeValue(const StoreKey& profile, const QString& valueName,
                               const QVariant& value) {
    const auto s = openLocked();
    if (!readable(s))
        return false;
    const QString group = groupFor(*s, profile);
    if (profile)
        markEncoded(*s, group, *profile);
    s->setValue(path(group, valueName), value);
    return commit(*s);
}

namespace {

// EnumProfiles and readProfile in a store open already.
QStringList profileNames(const QSettings& s) {
    QStringList names;
    for (const QString& group : s.childGroups())
        names.append(displayName(s, group));
    return names;
}

Profile storedProfile(QSettings& s, const QString& name) {
    Profile p = Profile::withDefaults(name);
    const QString group = groupFor(s, name);
    readValues(s, group, p);
    exchangeFormats(s, group, p, Exchange::Read);
    return p;
}

} // namespace

QStringList SettingsStore::EnumProfiles() const {
    const auto s = openLocked();
    if (!readable(s))
        return {};
    return profileNames(*s);
}

namespace {

// findProfile in a store open already.
std::optional<QString> storedName(const QSettings& s, const QString& name) {
    const auto group = existingGroup(s, name);
    if (group)
        return displayName(s, *group);
    // A store that holds no profile yet runs on "Default", every value at
    // its default: that profile is there to be named.
    const QString fallback = QStringLiteral("Default");
    if (name.compare(fallback, Qt::CaseInsensitive) == 0 && s.childGroups().isEmpty())
        return fallback;
    return std::nullopt;
}

} // namespace

std::optional<QString> SettingsStore::findProfile(const QString& name) const {
    const auto s = openLocked();
    if (!readable(s))
        return std::nullopt;
    return storedName(*s, name);
}

Deletion SettingsStore::DeleteProfileKey(const QString& name, bool keepOne) {
    const auto s = openLocked();
    if (!readable(s))
        return Deletion::Failed;
    const auto group = existingGroup(*s, name);
    // An empty group would remove the whole application key.
    if (!group || group->isEmpty())
        return Deletion::NotStored;
    if (keepOne && profileNames(*s).size() <= 1)
        return Deletion::OnlyProfile;
    // Key by key: QSettings::remove(group) would also take a value of the
    // application key that has the group's name, such as "LastProfile".
    s->beginGroup(*group);
    const QStringList keys = s->allKeys();
    s->endGroup();
    for (const QString& key : keys)
        s->remove(path(*group, key));
    return commit(*s) ? Deletion::Done : Deletion::Failed;
}

Profile SettingsStore::readProfile(const QString& name) const {
    const auto s = openLocked();
    if (!readable(s))
        return Profile::withDefaults(name);
    return storedProfile(*s, name);
}

std::optional<Profile> SettingsStore::readRunProfile(const std::optional<QString>& name,
                                                     bool* damaged) const {
    const auto s = openLocked();
    const bool ok = readable(s);
    if (damaged)
        *damaged = !ok;
    if (!ok)
        return std::nullopt;
    QString found;
    if (name) {
        const std::optional<QString> stored = storedName(*s, *name);
        if (!stored)
            return std::nullopt;
        found = *stored;
    } else {
        // As the window's profile list chooses at opening.
        const QString last = textOf(s->value(StoreValue::LastProfile), QString());
        const QStringList names = profileNames(*s);
        const QString wanted = last.isEmpty() ? QStringLiteral("Default") : last;
        // As the list searches: from its second entry on, then the first
        // (two names equal but for case may stand in a store edited by hand).
        auto listed = names.cend();
        for (qsizetype k = 1; k <= names.size() && listed == names.cend(); ++k) {
            const auto at = names.cbegin() + k % names.size();
            if (at->compare(wanted, Qt::CaseInsensitive) == 0)
                listed = at;
        }
        found = listed != names.cend() ? *listed
                : names.isEmpty()      ? QStringLiteral("Default")
                                       : names.first();
    }
    return storedProfile(*s, found);
}

Profile SettingsStore::LoadProfile(const QString& name) {
    Profile p = Profile::withDefaults(name);
    const auto s = openLocked();
    if (!readable(s))
        return p;
    const auto group = existingGroup(*s, name);
    if (!group) {
        // An INI group exists only while it holds a value, so the new key is
        // created with the defaults it would be read with anyway.
        const QString created = groupNameFor(name);
        markEncoded(*s, created, name);
        writeValues(*s, created, p);
        commit(*s);
        return p;
    }
    readValues(*s, *group, p);
    exchangeFormats(*s, *group, p, Exchange::Read);
    return p;
}

namespace {

// SaveProfile in a store open already.
bool saveProfile(QSettings& s, const Profile& profile, LastProfileUpdate last) {
    if (last == LastProfileUpdate::Write)
        s.setValue(StoreValue::LastProfile, profile.name);
    const QString group = groupFor(s, profile.name);
    markEncoded(s, group, profile.name);
    writeValues(s, group, profile);
    return commit(s);
}

} // namespace

bool SettingsStore::SaveProfile(const Profile& profile, LastProfileUpdate last) {
    const auto s = openLocked();
    return readable(s) && saveProfile(*s, profile, last);
}

bool SettingsStore::UpdateProfile(const QString& name, const std::function<void(Profile&)>& change,
                                  LastProfileUpdate last) {
    const auto s = openLocked();
    if (!readable(s))
        return false;
    Profile profile = storedProfile(*s, storedName(*s, name).value_or(name));
    change(profile);
    return saveProfile(*s, profile, last);
}

bool SettingsStore::ExchangeFormats(const QString& name, Profile& profile, Exchange direction) {
    const auto s = openLocked();
    if (!readable(s))
        return false;
    const QString group = groupFor(*s, name);
    if (direction == Exchange::Write)
        markEncoded(*s, group, name);
    exchangeFormats(*s, group, profile, direction);
    return direction == Exchange::Read || commit(*s);
}
