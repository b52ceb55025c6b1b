#pragma once

#include <QString>

// Makes a file unwritable for the current user for the length of a test:
// by its permissions for an ordinary user, by the immutable attribute for
// root (who writes through permissions). Undone by release() or at the end
// of the scope.
class ImmutableFile {
public:
    ImmutableFile() = default;
    ~ImmutableFile() { release(); }
    ImmutableFile(const ImmutableFile&) = delete;
    ImmutableFile& operator=(const ImmutableFile&) = delete;

    // False when the file system or the user's rights do not allow it.
    bool protect(const QString& path);
    void release();

private:
    QString m_path;
    bool m_attribute = false;
};
