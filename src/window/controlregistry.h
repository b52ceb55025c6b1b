#pragma once

#include "window/dialogtemplate.h"
#include "window/dialogunits.h"

#include <QHash>
#include <QRect>
#include <QString>
#include <QWidget>

#include <vector>

// The controls of one dialog, built from its template. The window logic
// reaches every control through its ID and kind, never through a widget type
// of its own choosing.
class ControlRegistry {
public:
    struct Control {
        int id;
        ControlKind kind;
        QWidget* widget;
    };

    // Creates the template's controls as children of `dialog`, in template
    // order, places them from dialog units and sizes the dialog.
    ControlRegistry(QWidget* dialog, const DialogTemplate& tmpl, const DialogUnits& units);

    const std::vector<Control>& controls() const { return m_controls; }
    // The units the controls were placed with.
    const DialogUnits& units() const { return m_units; }
    QWidget* widget(int id) const;
    ControlKind kind(int id) const;
    template <class T> T* as(int id) const { return qobject_cast<T*>(widget(id)); }
    // The control created immediately before control `id`, or nullptr.
    QWidget* previous(int id) const;
    // The id of the control that has the keyboard focus, or 0.
    int focusedId() const;

    QString text(int id) const;
    void setText(int id, const QString& text);
    bool isChecked(int id) const;
    void setChecked(int id, bool checked);
    void setReadOnly(int id, bool readOnly);
    // Limits typing, not the text the program sets (see TypingLimit).
    void setLimit(int id, int characters);
    // The hint an empty edit box or list box shows.
    void setPlaceholderText(int id, const QString& text);
    // Also the control's description for screen readers, unless it has one.
    void setToolTip(int id, const QString& text);
    void setVisible(int id, bool visible);
    void setEnabled(int id, bool enabled);
    // The control's rectangle in the dialog's coordinates.
    QRect rect(int id) const;
    void setRect(int id, const QRect& rect);

    // A caption as a name: without mnemonic marks, extra blanks and a closing colon.
    static QString accessibleCaption(const QString& caption);

private:
    QWidget* create(QWidget* dialog, const ControlTemplate& c);
    void place(QWidget* dialog, const DialogTemplate& tmpl, DialogUnits units);
    // Pixels that the control's caption needs on one line.
    static int captionWidth(const Control& c);

    std::vector<Control> m_controls;
    QHash<int, int> m_index; // control ID -> position in m_controls
    DialogUnits m_units{0, 0};
};
