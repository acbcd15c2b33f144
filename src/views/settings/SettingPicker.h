#pragma once

#include <QComboBox>
#include <QList>
#include <QString>

// A chooser of one setting among the options the engine lists. It shows the model's value and reports
// only the user's choice: setting the options and the selection reports nothing. A value that is not
// among the options leaves nothing selected.
class SettingPicker : public QComboBox {
    Q_OBJECT
public:
    struct Option {
        QString tag;
        QString text;
    };

    explicit SettingPicker(const QString& objectName, QWidget* parent = nullptr);

    void setOptions(const QList<Option>& options, const QString& selected);
    QString selectedTag() const;
    QStringList tags() const;

Q_SIGNALS:
    // The user chose the option of `tag` (also the one already selected).
    void picked(const QString& tag);
};
