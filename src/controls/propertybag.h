#pragma once
// The saved layout of a control: keys with values, kept in the order they were written.
// Writing a value equal to the given default leaves the key out, so reading it back yields the
// default again.
#include <QString>
#include <QStringList>
#include <QVariant>
#include <vector>

class PropertyBag {
public:
    void WriteProperty(const QString& key, const QVariant& value);
    void WriteProperty(const QString& key, const QVariant& value, const QVariant& defaultValue);
    QVariant ReadProperty(const QString& key, const QVariant& defaultValue) const;
    bool Contains(const QString& key) const;
    QStringList Keys() const;
    void Clear() { entries_.clear(); }

private:
    std::vector<std::pair<QString, QVariant>> entries_;
};
