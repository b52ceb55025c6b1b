#pragma once

#include <QString>

// A one-line progress bar on standard error, drawn only when standard error
// is a terminal: "[#####.....]  3/10 name".
class ProgressBar {
public:
    explicit ProgressBar(int total);
    ~ProgressBar();
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    // Shows that file number done + 1 of total is in hand.
    void show(int done, const QString& name);
    // Clears the line.
    void finish();

    // The line for a terminal of the given width (exposed for tests).
    static QString line(int done, int total, const QString& name, int width);

private:
    int m_total;
    bool m_enabled;
    bool m_drawn = false;
};
