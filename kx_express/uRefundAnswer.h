#pragma once
// The seller's answer to several refunds at once (agree, refuse, confirm the goods back): one
// call per shop account, the refunds the marketplace refuses named together in one message
// at the end while the others go on.
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

struct TKxRefundRef {
    QString refundId;
    QString sellerNick;   // the shop account the refund belongs to: the call's "detailnick"
};

// Sends `method` for every refund, with `params` (name, value) after "detailnick" and
// "refund_id". Returns the numbers the marketplace took; the refused, and calls that failed,
// are shown once, as an error when nothing was taken.
QStringList KxAnswerRefunds(const QString& method, const QList<TKxRefundRef>& refunds, const QList<QPair<QString, QString>>& params);

// The numbers shown in a dialog for the refunds it answers.
QString KxRefundNumbers(const QList<TKxRefundRef>& refunds);
