#include "window/dialogtemplate.h"

#include "profiles/optioncontrols.h"
#include "window/controlids.h"

namespace {

using K = ControlKind;

ControlTemplate fixedText(K kind, const QString& caption, QRect rect) {
    return {IDC_STATIC, kind, caption, rect, false};
}

ControlTemplate fieldEdit(int field, QRect rect) {
    return {fieldEditId(field), K::Edit, {}, rect};
}

// The four page buttons are one radio group at one place of the Tab order:
// the window lets only the checked one take Tab (see PageButtons).
ControlTemplate pageButton(int id, const QString& caption, int x) {
    return {id, K::PageButton, caption, QRect(x, 184, 53, 17)};
}

} // namespace

const DialogTemplate& mainWindowTemplate() {
    static const DialogTemplate t{
        IDD_QUORVEL_DIALOG,
        QStringLiteral("Quorvel"),
        QSize(481, 239),
        {
            fixedText(K::Static, QStringLiteral("Profile Name :"), QRect(9, 9, 45, 8)),
            {IDC_PROFILE_LIST, K::DropList, {}, QRect(58, 7, 121, 85)},
            fixedText(K::GroupBox, {}, QRect(6, 19, 468, 188)).named(QStringLiteral("Fields")),
            fixedText(K::SunkenStatic, QStringLiteral(" Location"), QRect(20, 28, 32, 12)),
            fieldEdit(0, QRect(20, 42, 185, 13)),
            fixedText(K::SunkenStatic, QStringLiteral(" Filename"), QRect(206, 28, 34, 12)),
            fieldEdit(1, QRect(206, 42, 251, 13)),
            fixedText(K::SunkenStatic, QStringLiteral("Artist"), QRect(175, 57, 30, 14)),
            fieldEdit(2, QRect(206, 57, 251, 14)),
            fixedText(K::SunkenStatic, QStringLiteral("Title"), QRect(175, 73, 30, 14)),
            fieldEdit(3, QRect(206, 73, 251, 14)),
            fixedText(K::SunkenStatic, QStringLiteral("Album"), QRect(175, 89, 30, 14)),
            fieldEdit(4, QRect(206, 89, 251, 14)),
            fixedText(K::SunkenStatic, QStringLiteral("Genre"), QRect(175, 105, 30, 14)),
            fieldEdit(5, QRect(206, 105, 75, 14)),
            fixedText(K::SunkenStatic, QStringLiteral("Year"), QRect(175, 121, 30, 14)),
            fieldEdit(6, QRect(206, 121, 75, 14)),
            fixedText(K::SunkenStatic, QStringLiteral("Track"), QRect(175, 137, 30, 14)),
            fieldEdit(7, QRect(206, 137, 75, 14)),
            {IDC_ORIGINAL_LABEL, K::SunkenStatic, QStringLiteral("Original"),
             QRect(174, 155, 30, 19), false},
            {IDC_ORIGINAL_EDIT, K::Edit, {}, QRect(206, 154, 251, 14), false, true},
            ControlTemplate(IDC_OPTIONS_GROUP, K::GroupBox, {}, QRect(20, 61, 150, 140), false)
                .named(QStringLiteral("Options")),
            ControlTemplate(IDC_CASE, K::DropList, {}, QRect(28, 70, 88, 82), true, false,
                            caseEntries())
                .named(QStringLiteral("Case")),
            {IDC_ANSI, K::CheckBox, QStringLiteral("Use ANSI Characters Only"),
             QRect(28, 92, 101, 10)},
            fixedText(K::Static, QStringLiteral("Filename Separator for Parts:"),
                      QRect(28, 110, 99, 8)),
            {IDC_SEPARATOR,
             K::DropCombo,
             {},
             QRect(28, 123, 88, 54),
             true,
             false,
             separatorEntries()},
            pageButton(IDC_PAGE_INPUT, QStringLiteral("Input"), 177),
            pageButton(IDC_PAGE_PARSE, QStringLiteral("Parse Input"), 231),
            pageButton(IDC_PAGE_CREATE, QStringLiteral("Create Output"), 285),
            pageButton(IDC_PAGE_OUTPUT, QStringLiteral("Output"), 339),
            {IDC_APPLY, K::PushButton, QStringLiteral("Apply"), QRect(407, 128, 50, 14)},
            ControlTemplate(IDC_FILELIST, K::ListBox, {}, QRect(145, 167, 21, 20))
                .named(QStringLiteral("Files")),
            {IDC_EXIT, K::PushButton, QStringLiteral("Exit"), QRect(423, 216, 51, 16)},
            {IDC_CLEAR_OTHER_V2, K::CheckBox, QStringLiteral("Clear other V2 fields"),
             QRect(27, 148, 79, 10)},
            {IDC_CLEAR_V1, K::CheckBox, QStringLiteral("Clear V1 tags"), QRect(27, 164, 58, 10)},
            {IDC_REMOVE_ITEM, K::PushButton, QStringLiteral("Remove Item"), QRect(17, 215, 53, 17)},
            {IDC_REMOVE_ALL, K::PushButton, QStringLiteral("Remove All"), QRect(73, 215, 53, 17)},
            ControlTemplate(IDC_PREVIEW_ALL, K::PushButton, QStringLiteral("Preview All..."),
                            QRect(129, 215, 62, 17))
                .named(QStringLiteral("Preview All")),
            ControlTemplate(IDC_HISTORY, K::PushButton, QStringLiteral("History..."),
                            QRect(194, 215, 53, 17))
                .named(QStringLiteral("History")),
        }};
    return t;
}

const DialogTemplate& aboutBoxTemplate() {
    static const DialogTemplate t{
        IDD_ABOUTBOX,
        QStringLiteral("About Quorvel"),
        QSize(235, 62),
        {
            ControlTemplate(IDR_MAINFRAME, K::Icon, {}, QRect(11, 14, 21, 20), false)
                .named(QStringLiteral("Quorvel")),
            fixedText(K::Static, QStringLiteral("Quorvel, Version " QUORVEL_VERSION),
                      QRect(40, 10, 188, 8)),
            fixedText(K::Static, QStringLiteral("Puts MP3 collections in order by rules"),
                      QRect(40, 22, 188, 8)),
            fixedText(K::Static, QStringLiteral("Copyright (C) 2026 Norvesta"),
                      QRect(40, 34, 119, 8)),
            {IDOK, K::DefPushButton, QStringLiteral("OK"), QRect(178, 41, 50, 14)},
        }};
    return t;
}

const DialogTemplate& profileNameTemplate() {
    static const DialogTemplate t{
        IDD_PROFILE_NAME,
        QString(),
        QSize(186, 90),
        {
            fixedText(K::Static, QStringLiteral("Profile Name :"), QRect(7, 14, 46, 8)),
            {IDC_PROFILE_NAME_EDIT, K::Edit, {}, QRect(7, 26, 172, 14)},
            {IDOK, K::DefPushButton, QStringLiteral("OK"), QRect(129, 52, 50, 14)},
            {IDCANCEL, K::PushButton, QStringLiteral("Cancel"), QRect(129, 70, 50, 14)},
        }};
    return t;
}

QString aboutCommandText() {
    return QStringLiteral("&About Quorvel...");
}
