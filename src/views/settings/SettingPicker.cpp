#include "settings/SettingPicker.h"

#include <QSignalBlocker>

SettingPicker::SettingPicker(const QString& objectName, QWidget* parent) : QComboBox(parent) {
    setObjectName(objectName);
    setSizeAdjustPolicy(QComboBox::AdjustToContents);
    setMinimumContentsLength(10);
    // Pickers of one form line up at a common width unless their texts need more.
    setMinimumWidth(200);
    connect(this, &QComboBox::activated, this, [this](int index) {
        if (index >= 0)
            Q_EMIT picked(itemData(index).toString());
    });
}

void SettingPicker::setOptions(const QList<Option>& options, const QString& selected) {
    const QSignalBlocker quiet(this);
    bool same = count() == options.size();
    for (int i = 0; same && i < options.size(); ++i)
        same = itemData(i).toString() == options[i].tag && itemText(i) == options[i].text;
    if (!same) {
        clear();
        for (const Option& option : options)
            addItem(option.text, option.tag);
    }
    setCurrentIndex(findData(selected));
}

QString SettingPicker::selectedTag() const {
    return currentIndex() >= 0 ? currentData().toString() : QString();
}

QStringList SettingPicker::tags() const {
    QStringList out;
    for (int i = 0; i < count(); ++i)
        out << itemData(i).toString();
    return out;
}
