#include "window/pagebuttons.h"

#include "transform/fields.h"
#include "window/controlids.h"
#include "window/controlregistry.h"

#include <QAbstractButton>
#include <QAction>
#include <QButtonGroup>
#include <QKeySequence>

PageButtons::PageButtons(const ControlRegistry& controls, QWidget* window)
    : QObject(window), m_group(new QButtonGroup(this)) {
    for (int page = 0; page < RowCount; ++page) {
        auto* button = controls.as<QAbstractButton>(kPageButtonIds[page]);
        m_group->addButton(button, page);
        // Ctrl+1 to Ctrl+4 act as a click, so the checked page's shortcut
        // chooses it again as a click would.
        auto* shortcut = new QAction(window);
        shortcut->setShortcut(QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_1 + page)));
        shortcut->setShortcutContext(Qt::WindowShortcut);
        connect(shortcut, &QAction::triggered, button, &QAbstractButton::click);
        window->addAction(shortcut);
        // Also the button's description for screen readers.
        button->setToolTip(QStringLiteral("%1 page (%2)")
                               .arg(ControlRegistry::accessibleCaption(button->text()),
                                    shortcut->shortcut().toString(QKeySequence::NativeText)));
    }
    connect(m_group, &QButtonGroup::idPressed, this, [this] { m_checkedSincePress = false; });
    connect(m_group, &QButtonGroup::idToggled, this, &PageButtons::onToggled);
    connect(m_group, &QButtonGroup::idClicked, this, &PageButtons::onClicked);
    updateTabStop();
}

void PageButtons::check(int page) {
    m_checking = true;
    m_group->button(page)->setChecked(true);
    m_checking = false;
}

void PageButtons::onToggled(int page, bool checked) {
    updateTabStop();
    // A Toggle action checks without a click; a click checks before it
    // reports the click.
    if (!checked || m_checking)
        return;
    m_checkedSincePress = true;
    emit chosen(page);
}

void PageButtons::onClicked(int page) {
    if (!std::exchange(m_checkedSincePress, false))
        emit chosen(page);
}

void PageButtons::updateTabStop() {
    for (QAbstractButton* button : m_group->buttons())
        button->setFocusPolicy(button->isChecked() ? Qt::StrongFocus : Qt::ClickFocus);
}
