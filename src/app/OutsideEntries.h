#pragma once

#include "LaunchRequest.h"

#include "InstanceGuard.h"

#include <QCoro/QCoroTask>
#include <QObject>

class AppModel;

// Where requests from outside the window reach the state: links opened with the program, text handed
// over by another program, the two download verbs, and a plain relaunch. The running copy serves those
// of later launches over its instance guard; a first launch hands its own to handle().
class OutsideEntries : public QObject {
    Q_OBJECT
public:
    explicit OutsideEntries(AppModel& model, QObject* parent = nullptr);

    // Carries out one launch's request. The answer is what the launching process prints and its exit
    // status. Links and handed-over text are answered as soon as they are taken (their downloads start
    // once the application is ready); the download verbs are answered once their download started.
    QCoro::Task<InstanceAnswer> handle(LaunchRequest request);

    // Answers every message of `guard` through handle().
    void serve(InstanceGuard& guard);

Q_SIGNALS:
    // A launch without arguments: the window should come back.
    void reopenRequested();

private:
    QCoro::Task<void> openLinks(QStringList links);
    QCoro::Task<void> downloadText(QString text);
    QCoro::Task<InstanceAnswer> download(QString address, QString quality);
    QCoro::Task<InstanceAnswer> downloadClipboard(QString quality);
    static QCoro::Task<InstanceAnswer> refuseText(AppModel* model);
    // The refusal of a verb without an address.
    static InstanceAnswer noAddress();
    // The answer of a request whose application went away before it could be carried out.
    static InstanceAnswer goneAway();

    AppModel& m_model;
};
