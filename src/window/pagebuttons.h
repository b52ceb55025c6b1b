#pragma once

#include <QObject>

class ControlRegistry;
class QButtonGroup;
class QWidget;

// The four page buttons as one radio group. Every way of activating a
// button chooses its page exactly once: the mouse, Space, the arrow keys,
// an assistive tool's Press or Toggle action and the shortcuts Ctrl+1 to
// Ctrl+4 (added to the window). Clicking the checked button chooses its page
// again. Only the checked button takes Tab; the arrow keys move between
// the buttons and check the one they reach, as in any radio group.
class PageButtons : public QObject {
    Q_OBJECT
public:
    PageButtons(const ControlRegistry& controls, QWidget* window);

    // Checks the page's button without choosing the page.
    void check(int page);

signals:
    void chosen(int page);

private:
    void onToggled(int page, bool checked);
    void onClicked(int page);
    // The checked button is the group's one Tab stop.
    void updateTabStop();

    QButtonGroup* m_group;
    // A press starts every click; whether the click then checked the button
    // tells a click that chose by checking from one on the checked button.
    bool m_checkedSincePress = false;
    bool m_checking = false; // check() is running
};
