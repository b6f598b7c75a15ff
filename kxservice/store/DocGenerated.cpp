#include "DocGenerated.h"

#include "DocPosting.h"
#include "DocSql.h"
#include "DocValues.h"
#include "store/Paging.h"

#include <QDate>
#include <QUuid>

using namespace KxDoc;

QString KxDocWriteAudited(TContext& ctx, const TDocKind& k, const TGeneratedDoc& doc, const QString& who, const QString& when)
{
    QString key = doc.key.left(64);
    if (key.isEmpty() || KxScalar(ctx.db, QStringLiteral("SELECT 1 FROM %1 WHERE nickid = ? AND md5_key = ?").arg(L(k.table)), {ctx.nickid, key}).isValid())
        key = QUuid::createUuid().toString(QUuid::Id128);
    const QString series = L(k.prefix) + QDate::currentDate().toString(QStringLiteral("yyyyMMdd"));
    const QString id = KxNextCode(ctx, series, series, L(k.table), L(k.idField), k.numberWidth);

    QStringList names{QStringLiteral("nickid"), L(k.idField), QStringLiteral("md5_key"), L(k.storages.front().idField), QStringLiteral("inputren"),
                      QStringLiteral("inputtime"), QStringLiteral("auditren"), QStringLiteral("audittime"), QStringLiteral("status")};
    QVariantList args{ctx.nickid, id, key, doc.storage, who, when, who, when, 2};
    if (k.hasShop) {
        names << QStringLiteral("shopcode");
        args << ctx.shopcode;
    }
    for (const auto& [field, value] : doc.fields) {
        names << field;
        args << value;
    }
    KxExec(ctx.db, QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(L(k.table), names.join(QStringLiteral(", ")), placeholders(names.size(), QStringLiteral("?"))),
           args);

    QStringList lineNames{QStringLiteral("nickid"), L(k.idField), QStringLiteral("seq"), QStringLiteral("md5_key"), QStringLiteral("commoditycode"),
                          L(k.quantityField)};
    for (const char* p : k.productPrices)
        lineNames << L(p);
    QVariantList values;
    std::vector<TPost> posts;
    posts.reserve(doc.lines.size());
    for (size_t i = 0; i < doc.lines.size(); ++i) {
        const TGeneratedLine& l = doc.lines[i];
        values << ctx.nickid << id << int(i) + 1 << key << l.code << l.quantity;
        for (size_t p = 0; p < k.productPrices.size(); ++p)
            values << l.prices.value(qsizetype(p));
        posts.push_back({int(i) + 1, l.code, l.quantity, l.unitCost, {}});
    }
    insertRows(ctx.db, QStringLiteral("INSERT INTO %1_line (%2) VALUES ").arg(L(k.table), lineNames.join(QStringLiteral(", "))), int(lineNames.size()), values);
    std::vector<TMove> moves;
    moves.reserve(posts.size());
    for (const TPost& p : posts)
        moves.push_back({doc.storage, &p, p.quantity});
    postStock(ctx, k, id, moves, when);
    return id;
}

QString KxOperatorStamp(TContext& ctx)
{
    const QString name = KxScalar(ctx.db, QStringLiteral("SELECT opername FROM kx_operator WHERE nickid = ? AND operid = ?"), {ctx.nickid, ctx.operid}).toString();
    return QLatin1Char('[') + ctx.operid + QLatin1Char(']') + name;
}
