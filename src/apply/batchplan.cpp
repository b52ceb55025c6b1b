#include "batchplan.h"

#include "absolutepath.h"

#include "tags/pathbytes.h"

#include <QHash>

#include <algorithm>
#include <vector>

#include <sys/stat.h>

namespace {

// ResolvedPathKey of many targets, most of them in a few folders: each
// folder is resolved once, and a target that is not a symbolic link itself
// (one lstat) takes its folder's key. Resolving every target whole walked
// its path level by level (a readlink a level, five to seven system calls a
// file, 50 microseconds a file on 100,000 files).
class TargetKeys {
public:
    QString of(const QString& target, bool noLink) {
        const qsizetype slash = target.lastIndexOf(u'/');
        const QStringView name = QStringView(target).sliced(slash + 1);
        struct stat st {};
        // Absolute, without ".", ".." or empty parts: AbsolutePath leaves
        // such a path as it is.
        const bool plain = slash > 0 && AbsolutePath(target, QString()) == target;
        if (!plain ||
            (!noLink && ::lstat(pathBytes(target).constData(), &st) == 0 && S_ISLNK(st.st_mode)))
            return ResolvedPathKey(target);
        const QString folder = target.left(slash);
        auto known = m_folders.constFind(folder);
        if (known == m_folders.cend())
            known = m_folders.insert(folder, ResolvedPathKey(folder));
        return known->endsWith(u'/') ? *known + name.toString() : *known + u'/' + name.toString();
    }

private:
    QHash<QString, QString> m_folders;
};

} // namespace

QList<SharedTarget> SharedTargets(const QStringList& targets, const QList<bool>& noLink) {
    // A hash of each target's key, not the key: 100,000 keys in a QHash took
    // 22 MB. Targets whose hashes meet are told apart by their keys.
    TargetKeys keys;
    std::vector<std::pair<size_t, int>> hashed;
    for (int i = 0; i < targets.size(); ++i) {
        if (!targets[i].isEmpty())
            hashed.emplace_back(qHash(keys.of(targets[i], noLink.value(i))), i);
    }
    std::sort(hashed.begin(), hashed.end());
    QList<SharedTarget> shared(targets.size());
    for (size_t run = 0; run < hashed.size();) {
        size_t end = run + 1;
        while (end < hashed.size() && hashed[end].first == hashed[run].first)
            ++end;
        if (end - run > 1) {
            QHash<QString, QList<int>> byKey;
            for (size_t k = run; k < end; ++k)
                byKey[keys.of(targets[hashed[k].second], noLink.value(hashed[k].second))].append(
                    hashed[k].second);
            for (QList<int> group : std::as_const(byKey)) {
                std::sort(group.begin(), group.end());
                for (int i : group) {
                    SharedTarget& s = shared[i];
                    s.others = int(group.size()) - 1;
                    for (qsizetype k = 0; k < group.size() && s.named.size() < SharedTarget::Named;
                         ++k) {
                        if (group[k] != i)
                            s.named.append(group[k]);
                    }
                }
            }
        }
        run = end;
    }
    return shared;
}
