#include "window/enterkey.h"

#include <QKeyEvent>
#include <QPushButton>

bool ClickFocusedButton(const QWidget* window, QKeyEvent* event) {
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter)
        return false;
    // Page buttons are checkable: they answer Space, not Enter. A held key
    // clicks once: its repeats would land on the button the focus went on to.
    if (auto* button = qobject_cast<QPushButton*>(window->focusWidget());
        button && !button->isCheckable() && button->isEnabled() && !event->isAutoRepeat())
        button->click();
    event->accept();
    return true;
}
