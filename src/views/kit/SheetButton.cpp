#include "kit/SheetButton.h"

#include <QPushButton>

QPushButton* sheetButton(const QString& name, QWidget* parent) {
    auto* b = new QPushButton(parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}
