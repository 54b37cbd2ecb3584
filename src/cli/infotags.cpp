#include "cli/infotags.h"

void AddTagObjects(const std::string&, QJsonObject&) {}
