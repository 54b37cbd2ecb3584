#pragma once
// The volume control on the accessibility bus: a slider named "Volume" (unless the window names
// it otherwise) whose value is the level 0..41, read as "Muted" while muted.
#include <QAccessibleWidget>

class Volume;

class VolumeAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit VolumeAccessible(Volume* volume);

    void* interface_cast(QAccessible::InterfaceType type) override;
    QString text(QAccessible::Text t) const override;

    QVariant currentValue() const override;
    void setCurrentValue(const QVariant& value) override;
    QVariant maximumValue() const override;
    QVariant minimumValue() const override;
    QVariant minimumStepSize() const override;

private:
    Volume* volume() const;
};
