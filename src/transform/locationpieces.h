#pragma once

#include <QList>
#include <QString>

// One stretch of the Location output: literal text of the create format or a
// code's value, marked when that value was parsed from another field than
// Location (tag or file-name text, which must not steer the folder).
struct LocationPiece {
    QString text;
    bool fromOtherField = false;
};

// Joins the pieces into the cleaned Location output. Characters a folder path
// cannot hold are removed everywhere; values from other fields also lose
// their path separators, and a "." or ".." folder component they take part
// in (even by being empty) is left empty, so "AC/DC" adds no level and ".."
// climbs nowhere. A Location that begins with such a value stays relative.
QString JoinLocationPieces(const QList<LocationPiece>& pieces);
