#include "window/enterkey.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QPushButton>

namespace {

bool isEnter(const QKeyEvent* event) {
    return event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
}

// A held key's repeats come from X11 as a release and a press with one time
// stamp. Qt marks them as repeats only when it finds the press queued behind
// the release, so a window busy with what the last press started takes
// some of them for new presses: a held Enter on Apply applied file after
// file. The time of the last release of Enter tells them apart.
class EnterReleases : public QObject {
public:
    ulong last = 0; // 0: none seen, or events that carry no time

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyRelease && isEnter(static_cast<QKeyEvent*>(event)))
            last = static_cast<QKeyEvent*>(event)->timestamp();
        return QObject::eventFilter(watched, event);
    }
};

EnterReleases& enterReleases() {
    static EnterReleases* releases = [] {
        auto* r = new EnterReleases;
        r->setParent(QCoreApplication::instance());
        QCoreApplication::instance()->installEventFilter(r);
        return r;
    }();
    return *releases;
}

} // namespace

bool ClickFocusedButton(const QWidget* window, QKeyEvent* event) {
    if (!isEnter(event))
        return false;
    const ulong lastRelease = enterReleases().last;
    const bool repeat =
        event->isAutoRepeat() || (event->timestamp() != 0 && event->timestamp() == lastRelease);
    // Page buttons are checkable: they answer Space, not Enter. A held key
    // clicks once: its repeats would land on the button the focus went on to.
    if (auto* button = qobject_cast<QPushButton*>(window->focusWidget());
        button && !button->isCheckable() && button->isEnabled() && !repeat)
        button->click();
    event->accept();
    return true;
}
