#include "Express.h"

#include <QCryptographicHash>

namespace {
void fileGet(TContext& ctx);
void filePut(TContext& ctx);
}

const std::vector<TMethodDef>& KxExpressMethods()
{
    static const std::vector<TMethodDef> methods = {
        {"Express.FileGet", EAccess::Module, ETx::Read, fileGet},
        {"Express.FilePut", EAccess::Module, ETx::Write, filePut},
    };
    return methods;
}

namespace {
constexpr qsizetype kMaxFileBytes = 16 * 1024 * 1024;

QString extOf(const TContext& ctx)
{
    const QString ext = ctx.need(QStringLiteral("ext")).trimmed().toLower();
    if (ext != QLatin1String("des") && ext != QLatin1String("ref"))
        throw TServiceError(kxBadParam, QStringLiteral("模板文件类型只能是 des 或 ref：%1").arg(ext.left(20)));
    return ext;
}

QString stemOf(const TContext& ctx)
{
    const QString stem = ctx.need(QStringLiteral("express_file"));
    KxCheckExpressFile(stem);
    return stem;
}

// A file of a template the seller has: answers "filedata" (Base64) and its "md5"; a file
// never stored answers "exists" 0 and no data.
void fileGet(TContext& ctx)
{
    const QString stem = stemOf(ctx), ext = extOf(ctx);
    QSqlQuery q = KxExec(ctx.db, QStringLiteral("SELECT content, md5 FROM kx_express_file WHERE nickid = ? AND express_file = ? AND ext = ?"),
                         {ctx.nickid, stem, ext});
    if (!q.next()) {
        ctx.answer.add(QStringLiteral("exists"), qint64(0));
        return;
    }
    ctx.answer.add(QStringLiteral("exists"), qint64(1));
    ctx.answer.add(QStringLiteral("md5"), q.value(1).toString());
    ctx.answer.add(QStringLiteral("filedata"), q.value(0).toString());
}

// Stores a file of one of the seller's templates: the attachment "filedata" is the file in
// Base64. Only a stem a template record names is accepted.
void filePut(TContext& ctx)
{
    const QString stem = stemOf(ctx), ext = extOf(ctx);
    const QByteArray* data = ctx.call.file(QStringLiteral("filedata"));
    if (!data)
        throw TServiceError(kxMissingParam, QStringLiteral("缺少模板文件（filedata）"));
    const QByteArray bytes = QByteArray::fromBase64(data->trimmed(), QByteArray::AbortOnBase64DecodingErrors);
    if (bytes.isEmpty() && !data->trimmed().isEmpty())
        throw TServiceError(kxBadParam, QStringLiteral("模板文件不是 Base64 编码"));
    if (bytes.isEmpty())
        throw TServiceError(kxBadParam, QStringLiteral("模板文件是空的"));
    if (bytes.size() > kMaxFileBytes)
        throw TServiceError(kxBadParam, QStringLiteral("模板文件不能超过 16 MB"));
    if (!KxScalar(ctx.db, QStringLiteral("SELECT 1 FROM kx_express WHERE nickid = ? AND express_file = ?"), {ctx.nickid, stem}).isValid())
        throw TServiceError(kxRefused, QStringLiteral("快递模板【%1】不存在，请先保存模板属性").arg(stem.left(60)));
    const QString md5 = QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
    KxExec(ctx.db, QStringLiteral("DELETE FROM kx_express_file WHERE nickid = ? AND express_file = ? AND ext = ?"), {ctx.nickid, stem, ext});
    KxExec(ctx.db, QStringLiteral("INSERT INTO kx_express_file (nickid, express_file, ext, content, md5) VALUES (?, ?, ?, ?, ?)"),
           {ctx.nickid, stem, ext, QString::fromLatin1(bytes.toBase64()), md5});
    ctx.answer.add(QStringLiteral("md5"), md5);
}
}

void KxCheckExpressFile(const QString& stem)
{
    const QString s = stem.trimmed();
    bool bad = s.isEmpty() || s != stem || s.size() > 120 || s.contains(QLatin1String("..")) || s.startsWith(QLatin1Char('.'));
    for (const QChar c : s)
        bad = bad || c.unicode() < 0x20 || c == u'/' || c == u'\\' || c == u':' || c == u'*' || c == u'?' || c == u'"'
              || c == u'<' || c == u'>' || c == u'|';
    if (bad)
        throw TServiceError(kxRefused, QStringLiteral("快递模板文件名不正确：%1（不能含有 \\ / : * ? \" < > | 或 ..）").arg(stem.left(60)));
}

void KxCheckExpressUnique(TContext& ctx, const QString& stem, const QString& exceptId)
{
    if (KxScalar(ctx.db, QStringLiteral("SELECT 1 FROM kx_express WHERE nickid = ? AND express_file = ? AND express_id <> ?"),
                 {ctx.nickid, stem, exceptId}).isValid())
        throw TServiceError(kxRefused, QStringLiteral("快递模板【%1】已存在，请换一个模板名").arg(stem.left(60)));
}

void KxDeleteExpressFiles(TContext& ctx, const QString& expressId)
{
    KxExec(ctx.db, QStringLiteral("DELETE FROM kx_express_file WHERE nickid = ? AND ext = 'des' AND express_file IN"
                                  " (SELECT express_file FROM kx_express WHERE nickid = ? AND express_id = ?)"),
           {ctx.nickid, ctx.nickid, expressId});
}
