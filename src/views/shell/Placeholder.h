#pragma once

#include <QDialog>
#include <QString>
#include <QWidget>

class AppModel;
class EmptyNotice;

// What a tab shows until its pane is built: its title and a line saying what will be there. No controls.
class PanePlaceholder : public QWidget {
    Q_OBJECT
public:
    // `titleKey` and `detailKey` are text keys, looked up again on every new text table; `symbol` is the
    // tab's.
    PanePlaceholder(const AppModel& model, QString titleKey, QString detailKey, QString symbol,
                    QWidget* parent = nullptr);

private:
    EmptyNotice* m_notice;
};

// A sheet until its contents are built: a title, what will be there, and the one button that closes it
// (which the root view turns into the sheet's flag written back).
class SheetPlaceholder : public QDialog {
    Q_OBJECT
public:
    SheetPlaceholder(QString titleKey, QString detailKey, QString closeKey, QWidget* parent);

    // Its button or Escape, not a close made from outside.
    void reject() override;

Q_SIGNALS:
    void cancelled();
};
