#include "removecharacters.h"

#include <algorithm>

void RemoveCharacters(QString& value, QStringView characters) {
    value.removeIf([characters](QChar c) {
        return std::find(characters.begin(), characters.end(), c) != characters.end();
    });
}
