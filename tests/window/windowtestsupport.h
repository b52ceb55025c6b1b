#pragma once

#include "profiles/settingsstore.h"
#include "window/uiseam.h"

#include <QList>
#include <QQueue>
#include <QString>
#include <QTemporaryDir>

// Records every modal interaction of the window instead of showing it, and
// answers questions from scripted queues (No and Cancel when empty).
class RecordingSeam : public UiSeam {
public:
    struct Shown {
        QString kind; // "message", "question", "name", "about", "open", "folder"
        QString text;
        QString caption;
    };

    void showMessage(QWidget*, const QString& text, const QString& caption) override {
        shown.append({QStringLiteral("message"), text, caption});
    }
    bool askYesNo(QWidget*, const QString& text, const QString& caption) override {
        shown.append({QStringLiteral("question"), text, caption});
        return !yesNoAnswers.isEmpty() && yesNoAnswers.dequeue();
    }
    std::optional<QString> askProfileName(QWidget*) override {
        shown.append({QStringLiteral("name"), {}, {}});
        return nameAnswers.isEmpty() ? std::nullopt : nameAnswers.dequeue();
    }
    void showAbout(QWidget*) override { shown.append({QStringLiteral("about"), {}, {}}); }
    QStringList askOpenFiles(QWidget*) override {
        shown.append({QStringLiteral("open"), {}, {}});
        return openAnswers.isEmpty() ? QStringList() : openAnswers.dequeue();
    }

    QString askFolder(QWidget*) override {
        shown.append({QStringLiteral("folder"), {}, {}});
        return folderAnswers.isEmpty() ? QString() : folderAnswers.dequeue();
    }

    QStringList kinds() const {
        QStringList list;
        for (const Shown& s : shown)
            list.append(s.kind);
        return list;
    }

    QList<Shown> shown;
    QQueue<bool> yesNoAnswers;
    QQueue<std::optional<QString>> nameAnswers;
    QQueue<QStringList> openAnswers;
    QQueue<QString> folderAnswers;
};

// A settings store of its own for one test, in a folder removed afterwards.
struct TempStore {
    QTemporaryDir dir;
    QString file = dir.filePath(QStringLiteral("settings.ini"));
    SettingsStore store{file};
};
