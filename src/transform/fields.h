#pragma once

#include <QString>

#include <array>

// The eight fields that the window shows for a file, in the order of the
// profile's value names, of parsing and of composition.
enum Field {
    FieldLocation = 0,
    FieldFilename,
    FieldArtist,
    FieldTitle,
    FieldAlbum,
    FieldGenre,
    FieldYear,
    FieldTrack,
    FieldCount
};

// The rows of the field grid; the page number is the row the edit boxes show.
enum GridRow { RowInput = 0, RowParse, RowCreate, RowOutput, RowCount };

using FieldValues = std::array<QString, FieldCount>;
using FieldGrid = std::array<FieldValues, RowCount>;

// "Location", "Filename", "Artist", ...: the key used in JSON output.
QString fieldKey(int field);
// The field's own code: "%L", "%F", "%A", "%T", "%B", "%G", "%Y", "%#".
QString fieldCode(int field);
// Field index for a key compared without regard to case, or -1.
int fieldFromKey(const QString& key);
