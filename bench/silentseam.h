#pragma once

#include "window/uiseam.h"

// Answers every question of the window at once and shows nothing, so that a
// timed run never waits for a person.
class SilentSeam : public UiSeam {
public:
    void showMessage(QWidget*, const QString&, const QString&) override {}
    bool askYesNo(QWidget*, const QString&, const QString&) override { return false; }
    std::optional<QString> askProfileName(QWidget*) override { return std::nullopt; }
    void showAbout(QWidget*) override {}
    QStringList askOpenFiles(QWidget*) override { return {}; }
    QString askFolder(QWidget*) override { return {}; }
};
