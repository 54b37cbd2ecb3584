#pragma once
// A push button whose one use in the program is OpenLink: handing a web address to the default
// browser through a LinkOpener. Its look is a plain themed push button.
#include <cstdint>
#include <vector>

#include <QAbstractButton>
#include <QVariant>

class LinkOpener;
class PropertyBag;

class isButton : public QAbstractButton {
    Q_OBJECT
public:
    struct PropertyInfo {
        const char* name;
        const char* key;
        QVariant defaultValue;
    };
    // Every stored property with its key and its default when read.
    static const std::vector<PropertyInfo>& PropertyTable();

    explicit isButton(LinkOpener& opener, QWidget* parent = nullptr);

    // The opener's result code (> 32 success); 0 when the call failed with an error.
    int32_t OpenLink(const QString& sLink);
    QString Version() const { return QStringLiteral("3.6.2"); }
    void Refresh() { update(); }

    QVariant Property(const QString& name) const;
    void SetProperty(const QString& name, const QVariant& value);
    void WriteProperties(PropertyBag& bag) const;
    void ReadProperties(const PropertyBag& bag);

    QSize sizeHint() const override;

signals:
    void MouseEnter();
    void MouseLeave();

protected:
    void paintEvent(QPaintEvent* e) override;
    void enterEvent(QEnterEvent* e) override;
    void leaveEvent(QEvent* e) override;

private:
    LinkOpener& opener_;
    std::vector<QVariant> values_;  // parallel to PropertyTable()
};
