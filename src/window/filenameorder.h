#pragma once

#include <QCollator>

// The order of file names in the list and of the files a folder gives: the
// user's language, letter case ignored, numbers by value ("2" before "10"),
// as file managers sort. A new collator each call: one instance must not be
// shared between threads.
QCollator fileNameCollator();
