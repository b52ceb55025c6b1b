#pragma once

#include "window/controlregistry.h"

#include <QDialog>

// The about box: the program's name and version, what it does, a copyright
// line and OK. It changes nothing.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);

    ControlRegistry& controls() { return m_controls; }

private:
    ControlRegistry m_controls;
};
