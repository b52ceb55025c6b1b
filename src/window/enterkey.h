#pragma once

class QKeyEvent;
class QWidget;

// The windows' push buttons are no auto-default buttons, so that Enter in a
// list, a table or a field starts nothing; Enter on a focused push button
// clicks it all the same (once: a held key's repeats click nothing). True
// when the event was Enter (taken either way).
bool ClickFocusedButton(const QWidget* window, QKeyEvent* event);
