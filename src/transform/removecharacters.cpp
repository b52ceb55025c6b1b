#include "removecharacters.h"

void RemoveCharacters(QString& value, QStringView characters) {
    value.removeIf([characters](QChar c) { return characters.contains(c); });
}
