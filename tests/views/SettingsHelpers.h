#pragma once

// Helpers of the settings and sheet tests: choosing in a picker as a user does, the engine's models
// answer, and the requests of one method.

#include "ViewHelpers.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QJsonArray>

// Opens the picker's list and clicks the entry of `tag`, as a user does; false when there is none.
inline bool pickIn(QComboBox* combo, const QString& tag) {
    const int index = combo->findData(tag);
    if (index < 0)
        return false;
    combo->showPopup();
    QAbstractItemView* view = combo->view();
    if (!QTest::qWaitForWindowExposed(view->window()))
        return false;
    const QModelIndex item = view->model()->index(index, combo->modelColumn(), view->rootIndex());
    view->scrollTo(item);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(item).center());
    return QTest::qWaitFor([&] { return !view->window()->isVisible(); }, 2000);
}

// A "models.list" answer: models as (key, downloadBytes, installed), and the machine's facts.
struct ModelSpec {
    QString key;
    qint64 bytes = 0;
    bool installed = false;
};
inline QJsonObject modelsAnswer(const QList<ModelSpec>& models, bool supported = true, bool gpu = false,
                                double speedFactor = 1.0, const QJsonObject& diskUsage = {}) {
    QJsonArray list;
    for (const ModelSpec& m : models)
        list.append(QJsonObject{
            {QStringLiteral("key"), m.key},
            {QStringLiteral("filename"), QStringLiteral("ggml-") + m.key + QStringLiteral(".bin")},
            {QStringLiteral("downloadBytes"), m.bytes},
            {QStringLiteral("peakMemoryBytes"), 0},
            {QStringLiteral("installed"), m.installed}});
    return QJsonObject{{QStringLiteral("models"), list},
                       {QStringLiteral("default"), QStringLiteral("base")},
                       {QStringLiteral("supported"), supported},
                       {QStringLiteral("helperAvailable"), true},
                       {QStringLiteral("appleSilicon"), false},
                       {QStringLiteral("gpu"), gpu},
                       {QStringLiteral("speedFactor"), speedFactor},
                       {QStringLiteral("diskUsage"), diskUsage}};
}

// The params of every request of `method` the engine received, in order.
inline QList<QJsonObject> paramsOf(const StateFixture& f, const QString& method) {
    QList<QJsonObject> out;
    for (const LoggedRequest& r : f.requestsOf(method))
        out << r.params;
    return out;
}
