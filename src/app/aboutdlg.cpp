#include "app/aboutdlg.h"

#include "window/controlids.h"

#include <QPushButton>

CAboutDlg::CAboutDlg(QWidget* parent)
    : QDialog(parent), m_controls(this, aboutBoxTemplate(), DialogUnits(font())) {
    setWindowTitle(aboutBoxTemplate().caption);
    connect(m_controls.as<QPushButton>(IDOK), &QPushButton::clicked, this, &QDialog::accept);
}
