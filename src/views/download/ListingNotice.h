#pragma once

#include "kit/NoticeFrame.h"

class AppModel;
class LinkButton;
class QLabel;

// The stage when the analysed address is a playlist or a channel, which this tab does not download: it
// points to the batch tab.
class ListingNotice : public NoticeFrame {
    Q_OBJECT

public:
    explicit ListingNotice(AppModel* model, QWidget* parent = nullptr);

    void setKind(const QString& kind);
    QLabel* detailLabel() const { return m_detail; }

private:
    void retranslate();

    AppModel* m_model;
    QString m_kind;
    QLabel* m_title;
    QLabel* m_detail;
    LinkButton* m_batch;
};
