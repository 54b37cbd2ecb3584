#pragma once
// Adds the tag library's "mpeg", "id3v1" and "id3v2" objects to `trimbel info` output.
#include <string>

#include <QJsonObject>

void AddTagObjects(const std::string& path, QJsonObject& root);
