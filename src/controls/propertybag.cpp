#include "controls/propertybag.h"

void PropertyBag::WriteProperty(const QString& key, const QVariant& value) {
    for (auto& entry : entries_) {
        if (entry.first == key) {
            entry.second = value;
            return;
        }
    }
    entries_.emplace_back(key, value);
}

void PropertyBag::WriteProperty(const QString& key, const QVariant& value,
                                const QVariant& defaultValue) {
    if (value == defaultValue) {
        std::erase_if(entries_, [&](const auto& entry) { return entry.first == key; });
        return;
    }
    WriteProperty(key, value);
}

QVariant PropertyBag::ReadProperty(const QString& key, const QVariant& defaultValue) const {
    for (const auto& entry : entries_) {
        if (entry.first == key) {
            return entry.second;
        }
    }
    return defaultValue;
}

bool PropertyBag::Contains(const QString& key) const {
    for (const auto& entry : entries_) {
        if (entry.first == key) {
            return true;
        }
    }
    return false;
}

QStringList PropertyBag::Keys() const {
    QStringList keys;
    for (const auto& entry : entries_) {
        keys << entry.first;
    }
    return keys;
}
