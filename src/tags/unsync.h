#pragma once

#include <QByteArray>

// Undoes ID3v2 unsynchronisation: every FF 00 pair becomes FF.
QByteArray RemoveUnsynchronisation(const QByteArray& data);
