#include "kit/Alert.h"

#include "Strings.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

namespace Alert {

void widenText(QMessageBox* box, int width) {
    // The box lays its texts out in the last column of its grid, under the buttons' full row.
    auto* grid = qobject_cast<QGridLayout*>(box->layout());
    if (grid && grid->columnCount() > 0)
        grid->setColumnMinimumWidth(grid->columnCount() - 1, width);
}

QMessageBox* make(const Spec& spec, QWidget* parent) {
    auto* box = new QMessageBox(parent);
    box->setObjectName(spec.titleKey);
    box->setIcon(spec.icon);
    box->setTextFormat(Qt::PlainText);
    box->setText(Strings::text(spec.titleKey));
    box->setWindowTitle(Strings::text(spec.titleKey));
    if (spec.message) {
        box->setInformativeText(*spec.message);
        // Engine text is never markup; the box does not pass its text format on to the message's label.
        for (QLabel* label : box->findChildren<QLabel*>()) {
            if (label->text() == *spec.message)
                label->setTextFormat(Qt::PlainText);
        }
    }
    widenText(box, spec.textWidth);
    for (const Button& b : spec.buttons) {
        QPushButton* button = box->addButton(Strings::text(b.key), b.role);
        button->setObjectName(b.key);
        if (b.role == QMessageBox::RejectRole) {
            box->setEscapeButton(button);
            box->setDefaultButton(button);
        }
    }
    if (!box->escapeButton() && spec.buttons.size() == 1)
        box->setEscapeButton(box->buttons().constFirst());
    box->setWindowModality(Qt::WindowModal);
    return box;
}

} // namespace Alert
