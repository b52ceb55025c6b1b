#pragma once

#include "transform/fields.h"

#include <QString>

// Indices of the case list; -1 while the list has no selection.
enum CaseMode { CaseTitle = 0, CaseLower = 1, CaseUpper = 2, CaseKeep = 3 };

// A named set of the sixteen format strings and five options. Defaults are
// what a missing stored value takes.
struct Profile {
    QString name;
    FieldValues parse;  // row 1 of the field grid, "Field1_0".."Field1_7"
    FieldValues create; // row 2 of the field grid, "Field2_0".."Field2_7"
    QString separator = QStringLiteral("SPACE");
    int caseMode = CaseTitle;
    int ansi = 0;
    int clearOtherV2 = 0;
    int clearV1 = 0;

    // A profile with every value at its default: each field parses its input
    // whole into its own code and composes its output from that code alone.
    static Profile withDefaults(const QString& name) {
        Profile p;
        p.name = name;
        for (int f = 0; f < FieldCount; ++f)
            p.parse[f] = p.create[f] = fieldCode(f);
        return p;
    }
    friend bool operator==(const Profile&, const Profile&) = default;
};
