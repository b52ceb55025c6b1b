#pragma once

#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

// What a template control becomes on screen.
enum class ControlKind {
    Static,        // fixed text
    SunkenStatic,  // fixed text with a sunken border
    GroupBox,      // frame without caption
    Edit,          // single-line edit box that scrolls sideways
    DropList,      // drop-down list, not editable
    DropCombo,     // drop-down list with an editable field
    ListBox,       // sorted list box
    CheckBox,      // check box that toggles on each click
    PushButton,    // ordinary push button
    DefPushButton, // the dialog's default push button
    PageButton,    // radio button drawn as a push button
    Icon,          // the program's icon
};

// One control of a dialog template; position and size in dialog units.
struct ControlTemplate {
    ControlTemplate(int id, ControlKind kind, QString caption, QRect rect, bool tabStop = true,
                    bool readOnly = false, QStringList entries = {})
        : id(id), kind(kind), caption(std::move(caption)), rect(rect), tabStop(tabStop),
          readOnly(readOnly), entries(std::move(entries)) {}

    // Names a control that has neither a caption nor a label before it.
    ControlTemplate named(const QString& name) const {
        ControlTemplate c = *this;
        c.accessibleName = name;
        return c;
    }

    int id;
    ControlKind kind;
    QString caption;
    QRect rect;
    bool tabStop;
    bool readOnly;
    QStringList entries; // initial entries of a drop-down list
    QString accessibleName;
};

// A dialog as a list of controls in creation order, which is also the order
// of the Tab key.
struct DialogTemplate {
    int id;
    QString caption;
    QSize size; // client area in dialog units
    std::vector<ControlTemplate> controls;
};

const DialogTemplate& mainWindowTemplate();  // 102
const DialogTemplate& aboutBoxTemplate();    // 100
const DialogTemplate& profileNameTemplate(); // 130

// String resource 101: the about box command.
QString aboutCommandText();
