#include "window/profilenamedlg.h"

#include "window/controlids.h"

#include <QPushButton>

CProfileNameDlg::CProfileNameDlg(QWidget* parent)
    : QDialog(parent), m_controls(this, profileNameTemplate(), DialogUnits(font())) {
    setWindowTitle(profileNameTemplate().caption);
    connect(m_controls.as<QPushButton>(IDOK), &QPushButton::clicked, this, &QDialog::accept);
    connect(m_controls.as<QPushButton>(IDCANCEL), &QPushButton::clicked, this, &QDialog::reject);
    m_controls.widget(IDC_PROFILE_NAME_EDIT)->setFocus();
}

void CProfileNameDlg::accept() {
    m_name = m_controls.text(IDC_PROFILE_NAME_EDIT);
    QDialog::accept();
}
