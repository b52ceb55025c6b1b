#pragma once

#include <QString>

struct Profile;

// The three profile options that a transformation run reads.
struct TransformOptions {
    int ansi = 0;     // non-zero: values are converted to ASCII
    int caseMode = 0; // 0 title, 1 lower, 2 upper, 3 keep; others act as 0
    QString separator = QStringLiteral("SPACE"); // the separator box's text, unresolved

    static TransformOptions fromProfile(const Profile& profile);
};
