#include "uRefundAnswer.h"

#include "uHttpWeb.h"
#include "uQuietCalls.h"
#include "uUiHooks.h"

#include <QHash>

QStringList KxAnswerRefunds(const QString& method, const QList<TKxRefundRef>& refunds, const QList<QPair<QString, QString>>& params)
{
    // The marketplace takes one account's refunds per call.
    QStringList accounts;
    QHash<QString, QStringList> ids;
    for (const TKxRefundRef& r : refunds) {
        const QString account = r.sellerNick.trimmed(), id = r.refundId.trimmed();
        if (id.isEmpty())
            continue;
        if (!ids.contains(account))
            accounts << account;
        if (!ids[account].contains(id))
            ids[account] << id;
    }
    QStringList done, refused;
    {
        TKxQuietCalls quiet;   // the refusals are told once, below
        for (const QString& account : accounts) {
            THttpWeb web;
            web.setModule(method);
            web.Request()->AddParams(QStringLiteral("detailnick"), account);
            web.Request()->AddParams(QStringLiteral("refund_id"), ids[account].join(QLatin1Char(',')));
            for (const auto& [name, value] : params)
                web.Request()->AddParams(name, value);
            if (!web.SendData()) {
                refused << quiet.Take();
                continue;
            }
            // An answer without "done" took every refund it was sent.
            const QString taken = web.Response()->GetParam(QStringLiteral("done"));
            done << (web.Response()->HasParam(QStringLiteral("done")) ? taken.split(QLatin1Char(','), Qt::SkipEmptyParts) : ids[account]);
            for (const QString& line : web.Response()->GetParam(QStringLiteral("refused")).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
                refused << line;
        }
    }
    if (refused.isEmpty())
        return done;
    if (done.isEmpty())
        KxShowError(refused.join(QLatin1Char('\n')));
    else
        KxShowInfo(QStringLiteral("已处理 %1 笔退款，以下退款网店没有接受：\n").arg(done.size()) + refused.join(QLatin1Char('\n')));
    return done;
}

QString KxRefundNumbers(const QList<TKxRefundRef>& refunds)
{
    QStringList ids;
    for (const TKxRefundRef& r : refunds)
        ids << r.refundId;
    return ids.join(QStringLiteral("，"));
}
