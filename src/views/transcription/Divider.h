#pragma once

#include <QWidget>

// A one-pixel horizontal rule in the quaternary ink, drawn from the palette at each paint so it follows
// the appearance.
class Divider : public QWidget {
    Q_OBJECT

public:
    explicit Divider(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};
