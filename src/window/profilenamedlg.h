#pragma once

#include "window/controlregistry.h"

#include <QDialog>

// Asks for the name of a new profile. Accepts any text, the empty text too.
class CProfileNameDlg : public QDialog {
    Q_OBJECT
public:
    explicit CProfileNameDlg(QWidget* parent = nullptr);

    // The name taken when the dialog ended with OK.
    QString name() const { return m_name; }
    ControlRegistry& controls() { return m_controls; }

    void accept() override;

private:
    ControlRegistry m_controls;
    QString m_name;
};
