#pragma once

#include <QString>

// The tooltip of an edit box on the "Parse Input" (RowParse) or "Create
// Output" (RowCreate) page: the codes, what each stands for and an example.
// Empty for the other pages.
QString formatHelp(int page);
