#include "settings/DeleteModelAlert.h"

#include "Job.h"
#include "Strings.h"
#include "kit/Alert.h"

#include <QMessageBox>
#include <QPushButton>

QMessageBox* askDeleteModel(QWidget* parent, qint64 bytesOnDisk, std::function<void()> remove) {
    // Room for the sentence on a few lines rather than a narrow column of words.
    QMessageBox* box = Alert::make({QStringLiteral("title_delete_model"),
                                    QMessageBox::Warning,
                                    Strings::text(QStringLiteral("msg_delete_model"),
                                                  {{QStringLiteral("size"), Job::byteCount(bytesOnDisk)}}),
                                    {{QStringLiteral("button_delete_model"), QMessageBox::DestructiveRole},
                                     {QStringLiteral("button_cancel"), QMessageBox::RejectRole}},
                                    360},
                                   parent);
    auto* confirm = box->findChild<QPushButton*>(QStringLiteral("button_delete_model"));
    QObject::connect(box, &QMessageBox::finished, box, [box, confirm, remove = std::move(remove)] {
        if (box->clickedButton() == confirm && remove)
            remove();
        box->deleteLater();
    });
    box->open();
    return box;
}
