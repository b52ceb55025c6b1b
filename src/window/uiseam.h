#pragma once

#include <QString>
#include <QStringList>

#include <optional>

class QWidget;

// Everything the window shows modally goes through this interface, so that a
// test can record the messages and answer the questions instead of a user.
class UiSeam {
public:
    virtual ~UiSeam() = default;

    // A message box with the text alone, an OK button and no icon.
    virtual void showMessage(QWidget* owner, const QString& text, const QString& caption) = 0;
    // A message box with Yes and No and no icon; true for Yes.
    virtual bool askYesNo(QWidget* owner, const QString& text, const QString& caption) = 0;
    // The profile name dialog; the name on OK, nothing on Cancel.
    virtual std::optional<QString> askProfileName(QWidget* owner) = 0;
    // The about box.
    virtual void showAbout(QWidget* owner) = 0;
    // A file dialog that picks several existing files; none on Cancel.
    virtual QStringList askOpenFiles(QWidget* owner) = 0;
    // A folder dialog that picks one existing folder; empty on Cancel.
    virtual QString askFolder(QWidget* owner) = 0;
};

// The seam of the running program: real modal dialogs.
class WidgetUiSeam : public UiSeam {
public:
    void showMessage(QWidget* owner, const QString& text, const QString& caption) override;
    bool askYesNo(QWidget* owner, const QString& text, const QString& caption) override;
    std::optional<QString> askProfileName(QWidget* owner) override;
    void showAbout(QWidget* owner) override;
    QStringList askOpenFiles(QWidget* owner) override;
    QString askFolder(QWidget* owner) override;
};
