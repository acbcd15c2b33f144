#pragma once

#include <QCheckBox>

// An on/off switch: a small pill with a knob, the accent colour when on. It is a QCheckBox underneath
// (checked, clicked, toggled), and the whole pill takes the click.
class Switch : public QCheckBox {
    Q_OBJECT

public:
    static constexpr QSize pill{28, 16};

    explicit Switch(const QString& objectName, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override;

private:
    QRectF pillRect() const;
};
