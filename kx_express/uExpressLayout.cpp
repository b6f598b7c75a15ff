#include "uExpressLayout.h"

#include "codec/uPanelStream.h"
#include "uRMReportEx.h"

#include <QBuffer>

#include <QHash>
#include <algorithm>
#include <QImage>
#include <cmath>

int KxMmToPx(double mm)
{
    return int(std::lround(mm * kExpressPxPerMm));
}

double KxPxToMm(int px)
{
    return px / kExpressPxPerMm;
}

const TExpressLabel* TExpressLayout::Label(const QString& name) const
{
    for (const TExpressLabel& l : labels)
        if (l.name == name)
            return &l;
    return nullptr;
}

namespace {
const QString kImage = QStringLiteral("TImage"), kInfo = QStringLiteral("TPrintInfo"), kLabel = QStringLiteral("TMRLabel");

TKxComponentRecord rect(const QString& cls, const QString& name, const QRect& r)
{
    TKxComponentRecord c;
    c.ClassName = cls;
    c.Name = name;
    c.SetProperty(QStringLiteral("Left"), r.x());
    c.SetProperty(QStringLiteral("Top"), r.y());
    c.SetProperty(QStringLiteral("Width"), r.width());
    c.SetProperty(QStringLiteral("Height"), r.height());
    return c;
}

QRect rectOf(const TKxComponentRecord& c)
{
    return QRect(c.Property(QStringLiteral("Left")).toInt(), c.Property(QStringLiteral("Top")).toInt(),
                 c.Property(QStringLiteral("Width")).toInt(), c.Property(QStringLiteral("Height")).toInt());
}

bool number(const TKxComponentRecord& c, const char* name, double* out, QString* error)
{
    const QVariant v = c.Property(QString::fromLatin1(name));
    if (!v.isValid())
        return true;
    bool ok = false;
    const double d = v.toDouble(&ok);
    if (!ok || !std::isfinite(d) || d < 0 || d > 5000) {
        *error = QStringLiteral("%1 的值不正确：%2").arg(QString::fromLatin1(name), v.toString().left(40));
        return false;
    }
    *out = d;
    return true;
}

const QStringList kNoWrap = {QStringLiteral("commoditycode"), QStringLiteral("title"), QStringLiteral("sku_properties_name"),
                             QStringLiteral("num"), QStringLiteral("total_fee"), QStringLiteral("tid")};
}

QByteArray KxWriteExpressLayout(const TExpressLayout& l)
{
    QList<TKxComponentRecord> records;
    TKxComponentRecord bg = rect(kImage, QStringLiteral("bgImage"), QRect(QPoint(0, 0), l.bgSize));
    bg.SetProperty(QStringLiteral("Stretch"), true);
    if (!l.picture.isEmpty())
        bg.SetProperty(QStringLiteral("Picture.Data"), l.picture);
    records << bg;

    TKxComponentRecord info = rect(kInfo, QStringLiteral("printinfo"), QRect(0, -200, 60, 17));
    info.SetProperty(QStringLiteral("Visible"), false);
    info.SetProperty(QStringLiteral("backFile"), l.backFile);
    info.SetProperty(QStringLiteral("mmWidth"), l.mmWidth);
    info.SetProperty(QStringLiteral("mmHeigth"), l.mmHeigth);
    info.SetProperty(QStringLiteral("mmMarginLeft"), l.mmMarginLeft);
    info.SetProperty(QStringLiteral("mmMarginRight"), l.mmMarginRight);
    info.SetProperty(QStringLiteral("mmMarginTop"), l.mmMarginTop);
    info.SetProperty(QStringLiteral("mmMarginBottom"), l.mmMarginBottom);
    records << info;

    for (const TExpressLabel& label : l.labels) {
        TKxComponentRecord c = rect(kLabel, label.name, label.rect);
        c.SetProperty(QStringLiteral("AutoSize"), false);
        c.SetProperty(QStringLiteral("Transparent"), true);
        c.SetProperty(QStringLiteral("Caption"), KxExpressCaption(label.name));
        c.SetProperty(QStringLiteral("Font.Size"), qlonglong(std::lround(label.fontSize)));
        c.SetProperty(QStringLiteral("Memo.Strings"), QStringList{label.memo});
        records << c;
    }
    return KxWriteComponents(records);
}

bool KxReadExpressLayout(const QByteArray& bytes, TExpressLayout* out, QString* error)
{
    QList<TKxComponentRecord> records;
    QString why;
    if (!KxReadComponents(bytes, &records, &why)) {
        *error = why;
        return false;
    }
    TExpressLayout l;
    l.labels.clear();
    for (const TKxComponentRecord& c : records) {
        if (c.ClassName == kImage && c.Name == QLatin1String("bgImage")) {
            const QRect r = rectOf(c);
            if (r.width() <= 0 || r.height() <= 0 || r.width() > 20000 || r.height() > 20000) {
                *error = QStringLiteral("背景图的大小不正确：%1×%2").arg(r.width()).arg(r.height());
                return false;
            }
            l.bgSize = r.size();
            l.picture = c.Property(QStringLiteral("Picture.Data")).toByteArray();
        } else if (c.ClassName == kInfo) {
            l.backFile = c.Property(QStringLiteral("backFile")).toString();
            if (!number(c, "mmWidth", &l.mmWidth, error) || !number(c, "mmHeigth", &l.mmHeigth, error)
                || !number(c, "mmMarginLeft", &l.mmMarginLeft, error) || !number(c, "mmMarginRight", &l.mmMarginRight, error)
                || !number(c, "mmMarginTop", &l.mmMarginTop, error) || !number(c, "mmMarginBottom", &l.mmMarginBottom, error))
                return false;
        } else if (c.ClassName == kLabel) {
            TExpressLabel label;
            label.name = c.Name;
            label.rect = rectOf(c);
            const QVariant memo = c.Property(QStringLiteral("Memo.Strings"));
            label.memo = memo.metaType().id() == QMetaType::QStringList ? memo.toStringList().join(QLatin1Char('\n')) : memo.toString();
            const QVariant size = c.Property(QStringLiteral("Font.Size"));
            if (size.isValid())
                label.fontSize = qBound(4, size.toInt(), 72);
            if (label.name.isEmpty() || label.rect.width() <= 0 || label.rect.height() <= 0) {
                *error = QStringLiteral("字段标签【%1】的位置或大小不正确").arg(label.name);
                return false;
            }
            l.labels << label;
        }
        // Anything else on the canvas is not part of a waybill and is left out.
    }
    *out = l;
    return true;
}

TRMTemplate KxExpressSheet(const TExpressLayout& l)
{
    TRMTemplate t;
    t.page.width = KxPxToMm(l.bgSize.width());
    t.page.height = KxPxToMm(l.bgSize.height());
    t.page.left = t.page.top = t.page.right = t.page.bottom = 0;
    t.page.backgroundData = l.picture;
    TRMBand band;
    band.type = TRMBandType::MasterData;
    band.name = QStringLiteral("Labels");
    band.height = t.page.height;
    for (const TExpressLabel& label : l.labels) {
        TRMObject o;
        o.name = label.name;
        o.text = label.memo;
        o.rect = QRectF(KxPxToMm(label.rect.x()), KxPxToMm(label.rect.y()), KxPxToMm(label.rect.width()),
                        KxPxToMm(label.rect.height()));
        o.fontSize = label.fontSize;
        o.bold = true;
        o.color = Qt::red;
        o.wordWrap = !kNoWrap.contains(label.name);
        band.objects.push_back(o);
    }
    t.bands.push_back(band);
    return t;
}

void KxExpressLabelsFromSheet(const TRMTemplate& sheet, TExpressLayout* l)
{
    l->labels.clear();
    for (const TRMBand& b : sheet.bands)
        for (const TRMObject& o : b.objects) {
            TExpressLabel label;
            label.name = o.name;
            label.memo = o.text;
            label.rect = QRect(KxMmToPx(o.rect.x()), KxMmToPx(o.rect.y()), std::max(1, KxMmToPx(o.rect.width())),
                               std::max(1, KxMmToPx(o.rect.height())));
            label.fontSize = o.fontSize;
            l->labels << label;
        }
}

TRMTemplate KxExpressReport(const TExpressLayout& l)
{
    TRMTemplate t;
    t.page.width = l.mmWidth;
    t.page.height = l.mmHeigth;
    t.page.left = l.mmMarginLeft;
    t.page.top = l.mmMarginTop;
    t.page.right = l.mmMarginRight;
    t.page.bottom = l.mmMarginBottom;
    t.page.landscape = l.mmWidth > l.mmHeigth;
    t.page.backgroundData = l.picture;
    t.page.backgroundRect = QRectF(KxPxToMm(KxMmToPx(l.mmMarginLeft)), KxPxToMm(KxMmToPx(l.mmMarginTop)),
                                   KxPxToMm(l.bgSize.width()), KxPxToMm(l.bgSize.height()));
    t.page.backgroundPrinted = false;

    TRMBand master;
    master.type = TRMBandType::MasterData;
    master.name = QStringLiteral("MasterData");
    master.dataSet = QStringLiteral("拣货单");
    // Exactly the room between the offsets: a band a fraction taller would push the lines'
    // band onto a page of its own.
    master.height = std::max(0.0, l.mmHeigth - l.mmMarginTop - l.mmMarginBottom);
    master.stretch = true;
    master.newPageAfter = true;
    for (const TExpressLabel& label : l.labels) {
        TRMObject o;
        o.name = label.name;
        o.text = label.memo;
        o.rect = QRectF(KxPxToMm(label.rect.x()), KxPxToMm(label.rect.y()), KxPxToMm(label.rect.width()),
                        KxPxToMm(label.rect.height()));
        o.fontSize = label.fontSize;
        o.color = Qt::black;
        o.align = Qt::AlignLeft | Qt::AlignTop;
        o.stretch = true;
        o.wordWrap = !kNoWrap.contains(label.name);
        master.objects.push_back(o);
    }
    t.bands.push_back(master);

    // The lines of each picking list: the master band's product fields show its first line.
    TRMBand detail;
    detail.type = TRMBandType::DetailData;
    detail.name = QStringLiteral("DetailData");
    detail.dataSet = QStringLiteral("拣货单明细");
    detail.master = master.name;
    detail.masterFields = QStringLiteral("pickingid");
    detail.detailFields = QStringLiteral("pickingid");
    detail.height = 0;
    t.bands.push_back(detail);
    return t;
}

QByteArray KxExpressReportBytes(const TExpressLayout& layout)
{
    TRMReportEx report;
    report.Template() = KxExpressReport(layout);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    report.SaveToStream(&buffer);
    return bytes;
}

const QList<TExpressGroup>& KxExpressGroups()
{
    static const QList<TExpressGroup> groups = [] {
        auto f = [](const char* key, const char* caption) { return TExpressField{QString::fromUtf8(key), QString::fromUtf8(caption)}; };
        QList<TExpressGroup> g;
        g << TExpressGroup{QStringLiteral("发件人标签"), QString(),
                           {f("sender_name", "发件人名称"), f("sender_phone", "发件人电话"), f("sender_mobile", "发件人手机"),
                            f("sender_address", "发件地址"), f("sender_zip", "发件邮编"), f("_RM_DateTime", "发件日期"),
                            f("memo1", "自定义1"), f("memo2", "自定义2"), f("memo3", "自定义3")}};
        g << TExpressGroup{QStringLiteral("收件人标签"), QStringLiteral("拣货单"),
                           {f("receiver_name", "收货人"), f("receiver_phone", "收货电话"), f("receiver_mobile", "收货手机"),
                            f("receiver_address", "收货地址"), f("receiver_zip", "收货邮编"), f("city_district", "所在城市"),
                            f("buyer_nick", "买家帐号")}};
        g << TExpressGroup{QStringLiteral("宝贝信息"), QStringLiteral("拣货单明细"),
                           {f("commoditycode", "商品编码"), f("title", "宝贝名称"), f("sku_properties_name", "宝贝属性"),
                            f("num", "订购数量"), f("total_fee", "订购金额")}};
        g << TExpressGroup{QStringLiteral("其它信息"), QStringLiteral("拣货单"),
                           {f("buyer_message", "客户留言"), f("seller_memo", "客服备注")}};
        g << TExpressGroup{QStringLiteral("订单信息"), QStringLiteral("拣货单"), {f("tid", "订单号"), f("pickingid", "拣货单号")}};
        return g;
    }();
    return groups;
}

QString KxExpressCaption(const QString& key)
{
    for (const TExpressGroup& g : KxExpressGroups())
        for (const TExpressField& f : g.fields)
            if (f.key == key)
                return f.caption;
    return QString();
}

QString KxExpressExpression(const TExpressGroup& group, const TExpressField& field)
{
    if (group.dataSet.isEmpty())
        return field.key == QLatin1String("_RM_DateTime") ? QStringLiteral("[_RM_DateTime]") : u'[' + field.caption + u']';
    const auto ref = [&](const QString& caption) { return QStringLiteral("[%1.\"%2\"]").arg(group.dataSet, caption); };
    if (field.key == QLatin1String("city_district"))
        return ref(QStringLiteral("城市")) + u'/' + ref(QStringLiteral("街区"));
    return ref(field.caption);
}

QString KxExpressFieldLabels(const QString& dataSet)
{
    QStringList lines;
    for (const TExpressGroup& g : KxExpressGroups())
        if (g.dataSet == dataSet)
            for (const TExpressField& f : g.fields)
                if (f.key != QLatin1String("city_district"))
                    lines << f.key + u'=' + f.caption;
    if (dataSet == QStringLiteral("拣货单"))
        lines << QStringLiteral("tids=订单号") << QStringLiteral("receiver_city=城市") << QStringLiteral("receiver_district=街区");
    return lines.join(QLatin1Char('\n'));
}
