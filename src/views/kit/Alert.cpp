#include "kit/Alert.h"

#include "Strings.h"

#include <QLabel>
#include <QPushButton>

namespace Alert {

void widenText(QMessageBox* box, int width) {
    // On the labels themselves: the box lays itself out anew whenever its icon or style changes.
    for (QLabel* label : box->findChildren<QLabel*>()) {
        if (!label->text().isEmpty() &&
            (label->text() == box->text() || label->text() == box->informativeText()))
            label->setMinimumWidth(width);
    }
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
