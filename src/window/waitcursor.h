#pragma once

#include <QGuiApplication>

// Shows the wait cursor while a long write or move runs; the busy form
// (Qt::BusyCursor) while work goes on and the window answers all the same.
class WaitCursor {
public:
    explicit WaitCursor(Qt::CursorShape shape = Qt::WaitCursor) {
        QGuiApplication::setOverrideCursor(shape);
    }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};
