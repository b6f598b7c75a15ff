#include "uRMEngine.h"
#include "uRMBarCode.h"
#include "uRMDataSet.h"
#include "uPClientDataSet.h"

#include <QDir>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QHash>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <cmath>
#include <unordered_map>

namespace {

constexpr double kPadding = 0.5;   // mm between a text and its frame
constexpr double kMeasureDpi = 600;

QImage loadPicture(const QString& file, const QByteArray& data, const QString& dir, QStringList* warnings)
{
    QImage img;
    if (!data.isEmpty()) {
        if (!img.loadFromData(data))
            warnings->append(QStringLiteral("图片数据无法读取"));
        return img;
    }
    if (file.isEmpty())
        return img;
    const QString path = QFileInfo(file).isAbsolute() ? file : QDir(dir).filePath(file);
    if (!img.load(path))
        warnings->append(QStringLiteral("图片文件无法读取：%1").arg(file));
    return img;
}

// Places the bands of one report onto pages.
class TLayout {
public:
    TLayout(const TRMEngineInput& in, TRMPreparedReport& out)
        : m_in(in), m_out(out), m_expr(in.dataSets, in.variables), m_page(out.tmpl.page)
    {
        m_measure = QImage(8, 8, QImage::Format_RGB32);
        m_measure.setDotsPerMeterX(qRound(kMeasureDpi / 0.0254));
        m_measure.setDotsPerMeterY(qRound(kMeasureDpi / 0.0254));
    }

    void run()
    {
        const TRMTemplate& t = m_out.tmpl;
        m_title = t.FindBandOfType(TRMBandType::Title);
        m_pageHeader = t.FindBandOfType(TRMBandType::PageHeader);
        m_pageFooter = t.FindBandOfType(TRMBandType::PageFooter);
        m_bottom = m_page.height - m_page.bottom - (m_pageFooter ? m_pageFooter->height : 0);

        newPage();
        for (const TRMBand& b : t.bands)
            if (b.type == TRMBandType::MasterData)
                printMaster(b);
        if (const TRMBand* s = t.FindBandOfType(TRMBandType::Summary))
            printBand(*s);
        finishPage();

        if (m_expr.UsesTotalPages()) {
            const QString marker = TRMExpressions::TotalPagesMarker();
            const QString total = QString::number(m_out.pages.size());
            for (TRMPreparedPage& p : m_out.pages)
                for (TRMPreparedItem& i : p.items)
                    i.text.replace(marker, total);
        }
        m_out.unknownNames = m_expr.Unknown();
    }

private:
    struct Rows {
        int link = -1;
        std::vector<int> rows;
    };

    // Rows a data band prints: all rows of its data set, or for a linked detail band the rows
    // whose detail fields equal the master row's master fields.
    Rows rowsOf(const TRMBand& band, const Rows* master, int masterRow)
    {
        Rows r;
        if (band.dataSet.isEmpty()) {
            r.rows.push_back(-1); // a data band without data prints once
            return r;
        }
        r.link = m_expr.LinkIndex(band.dataSet);
        TPClientDataSet* ds = r.link >= 0 ? m_expr.Link(r.link)->DataSet() : nullptr;
        if (!ds) {
            m_expr.AddUnknown(band.dataSet);
            return r;
        }
        const QStringList mf = band.masterFields.split(u';', Qt::SkipEmptyParts);
        const QStringList df = band.detailFields.split(u';', Qt::SkipEmptyParts);
        if (!master || master->link < 0 || mf.isEmpty() || mf.size() != df.size()) {
            for (int i = 0; i < ds->RecordCount(); ++i)
                r.rows.push_back(i);
            return r;
        }
        TPClientDataSet* mds = m_expr.Link(master->link)->DataSet();
        const QString key = keyOf(mds, fieldsOf(mds, mf, band.master), masterRow);
        auto& index = m_detailIndex[&band];
        if (index.empty()) {
            const std::vector<TField*> fields = fieldsOf(ds, df, band.dataSet);
            for (int i = 0; i < ds->RecordCount(); ++i)
                index[keyOf(ds, fields, i)].push_back(i);
        }
        auto it = index.find(key);
        if (it != index.end())
            r.rows = it->second;
        return r;
    }

    std::vector<TField*> fieldsOf(TPClientDataSet* ds, const QStringList& names, const QString& owner)
    {
        std::vector<TField*> out;
        for (const QString& n : names) {
            TField* f = ds->FindField(n.trimmed());
            if (!f)
                m_expr.AddUnknown(owner + u'.' + n.trimmed());
            out.push_back(f);
        }
        return out;
    }

    static QString keyOf(TPClientDataSet* ds, const std::vector<TField*>& fields, int row)
    {
        QString key;
        for (TField* f : fields) {
            key += f ? ds->DisplayTextAt(row, f) : QString();
            key += QChar(0x1F);
        }
        return key;
    }

    void printMaster(const TRMBand& master)
    {
        const Rows rows = rowsOf(master, nullptr, -1);
        const TRMTemplate& t = m_out.tmpl;
        for (size_t i = 0; i < rows.rows.size(); ++i) {
            if (rows.link >= 0)
                m_expr.SetRow(rows.link, rows.rows[i]);
            m_expr.SetLine(int(i) + 1);
            // A detail data set named in the master band shows the master row's first line.
            for (const TRMBand& d : t.bands)
                if (d.type == TRMBandType::DetailData && d.master == master.name) {
                    const Rows lines = rowsOf(d, &rows, rows.rows[i]);
                    if (lines.link >= 0)
                        m_expr.SetRow(lines.link, lines.rows.empty() ? -2 : lines.rows.front());
                }
            printBand(master);

            const TRMBand* header = nullptr;
            const TRMBand* footer = nullptr;
            for (const TRMBand& b : t.bands)
                if (b.master == master.name && b.type == TRMBandType::DetailHeader)
                    header = &b;
                else if (b.master == master.name && b.type == TRMBandType::DetailFooter)
                    footer = &b;
            if (header)
                printBand(*header);
            m_repeatHeader = header;
            for (const TRMBand& d : t.bands)
                if (d.type == TRMBandType::DetailData && d.master == master.name)
                    printDetail(d, rows, rows.rows[i]);
            m_repeatHeader = nullptr;
            if (footer)
                printBand(*footer);
            if (master.newPageAfter && i + 1 < rows.rows.size())
                newPage();
        }
        if (rows.link >= 0)
            m_expr.SetRow(rows.link, -1);
    }

    void printDetail(const TRMBand& detail, const Rows& master, int masterRow)
    {
        const Rows rows = rowsOf(detail, &master, masterRow);
        for (size_t k = 0; k < rows.rows.size(); ++k) {
            if (rows.link >= 0)
                m_expr.SetRow(rows.link, rows.rows[k]);
            m_expr.SetLine(int(k) + 1);
            printBand(detail);
            if (detail.newPageAfter && k + 1 < rows.rows.size())
                newPage();
        }
        if (rows.link >= 0)
            m_expr.SetRow(rows.link, -1);
    }

    void newPage()
    {
        if (!m_out.pages.empty())
            finishPage();
        m_out.pages.emplace_back();
        m_expr.SetPage(int(m_out.pages.size()));
        m_y = m_page.top;
        if (m_out.pages.size() == 1 && m_title)
            place(*m_title);
        if (m_pageHeader)
            place(*m_pageHeader);
        m_contentTop = m_y;
        if (m_repeatHeader)
            place(*m_repeatHeader);
    }

    void finishPage()
    {
        if (!m_pageFooter)
            return;
        m_y = m_page.height - m_page.bottom - m_pageFooter->height;
        place(*m_pageFooter);
    }

    // A band in the data flow: on a new page when it does not fit below what is there.
    void printBand(const TRMBand& band)
    {
        std::vector<QString> texts = evaluate(band);
        const double h = heightOf(band, texts);
        if (m_y + h > m_bottom + 1e-6 && m_y > m_contentTop + 1e-6) {
            newPage();
            texts = evaluate(band); // page numbers may have changed
        }
        put(band, texts, h);
    }

    void place(const TRMBand& band)
    {
        const std::vector<QString> texts = evaluate(band);
        put(band, texts, heightOf(band, texts));
    }

    std::vector<QString> evaluate(const TRMBand& band)
    {
        std::vector<QString> texts;
        texts.reserve(band.objects.size());
        for (const TRMObject& o : band.objects)
            texts.push_back(o.kind == TRMObjectKind::Picture ? QString() : m_expr.Evaluate(o.text));
        return texts;
    }

    const QFont& fontOf(const TRMObject& o)
    {
        auto it = m_fonts.find(&o);
        if (it == m_fonts.end())
            it = m_fonts.insert(&o, RMObjectFont(o));
        return *it;
    }

    // Height a memo needs for its text in its width.
    double textHeight(const TRMObject& o, const QString& text)
    {
        if (text.isEmpty())
            return 0;
        const double pxPerMm = kMeasureDpi / 25.4;
        const QFontMetricsF fm(fontOf(o), &m_measure);
        const double w = std::max(1.0, (o.rect.width() - 2 * kPadding) * pxPerMm);
        const int flags = int(o.align) | (o.wordWrap ? Qt::TextWordWrap : 0);
        return fm.boundingRect(QRectF(0, 0, w, 1e7), flags, text).height() / pxPerMm + 2 * kPadding;
    }

    double objectHeight(const TRMBand& band, const TRMObject& o, const QString& text)
    {
        if (!band.stretch || !o.stretch || o.kind != TRMObjectKind::Memo)
            return o.rect.height();
        return std::max(o.rect.height(), textHeight(o, text));
    }

    double heightOf(const TRMBand& band, const std::vector<QString>& texts)
    {
        double h = band.height;
        if (band.stretch)
            for (size_t i = 0; i < band.objects.size(); ++i)
                h = std::max(h, band.objects[i].rect.y() + objectHeight(band, band.objects[i], texts[i]));
        return h;
    }

    void put(const TRMBand& band, const std::vector<QString>& texts, double height)
    {
        TRMPreparedPage& page = m_out.pages.back();
        for (size_t i = 0; i < band.objects.size(); ++i) {
            const TRMObject& o = band.objects[i];
            TRMPreparedItem item;
            item.object = &o;
            double h = objectHeight(band, o, texts[i]);
            // In a row that grew, the cells reaching the band's bottom grow with it, so the
            // row's frames stay one height.
            if (band.stretch && o.kind == TRMObjectKind::Memo && o.rect.bottom() >= band.height - 1e-6)
                h = std::max(h, height - o.rect.y());
            item.rect = QRectF(m_page.left + o.rect.x(), m_y + o.rect.y(), o.rect.width(), h);
            item.text = texts[i];
            if (o.kind == TRMObjectKind::BarCode) {
                auto& shape = m_barcodes[qMakePair(int(o.barcode), item.text)];
                if (!shape) {
                    shape = RMEncodeBarcode(o.barcode, item.text);
                    if (!shape->error.isEmpty())
                        warn(QStringLiteral("条码 %1 无法生成：%2").arg(o.name, shape->error));
                }
                item.barcode = shape;
            } else if (o.kind == TRMObjectKind::Picture) {
                auto it = m_pictures.find(&o);
                if (it == m_pictures.end())
                    it = m_pictures.insert(&o, loadPicture(o.pictureFile, o.pictureData, m_in.templateDir, &m_out.warnings));
                item.picture = *it;
            }
            page.items.push_back(std::move(item));
        }
        m_y += height;
    }

    void warn(const QString& text)
    {
        if (!m_out.warnings.contains(text))
            m_out.warnings.append(text);
    }

    const TRMEngineInput& m_in;
    TRMPreparedReport& m_out;
    TRMExpressions m_expr;
    const TRMPageSetup& m_page;
    QImage m_measure;
    const TRMBand* m_title = nullptr;
    const TRMBand* m_pageHeader = nullptr;
    const TRMBand* m_pageFooter = nullptr;
    const TRMBand* m_repeatHeader = nullptr;
    double m_y = 0, m_bottom = 0, m_contentTop = 0;
    QHash<const TRMObject*, QFont> m_fonts;
    QHash<const TRMObject*, QImage> m_pictures;
    QHash<QPair<int, QString>, std::shared_ptr<const TRMBarcodeShape>> m_barcodes;
    std::unordered_map<const TRMBand*, std::unordered_map<QString, std::vector<int>>> m_detailIndex;
};

void paintFrame(QPainter& p, const TRMObject& o, const QRectF& r, double pxPerMm)
{
    if (!o.frame)
        return;
    QPen pen(Qt::black, std::max(0.1, o.frameWidth) * pxPerMm);
    pen.setCapStyle(Qt::SquareCap);
    p.setPen(pen);
    if (o.frame & frLeft) p.drawLine(r.topLeft(), r.bottomLeft());
    if (o.frame & frTop) p.drawLine(r.topLeft(), r.topRight());
    if (o.frame & frRight) p.drawLine(r.topRight(), r.bottomRight());
    if (o.frame & frBottom) p.drawLine(r.bottomLeft(), r.bottomRight());
}

void paintPicture(QPainter& p, const QImage& img, const QRectF& r)
{
    if (img.isNull())
        return;
    QSizeF s = img.size();
    s.scale(r.size(), Qt::KeepAspectRatio);
    p.drawImage(QRectF(r.center().x() - s.width() / 2, r.center().y() - s.height() / 2, s.width(), s.height()), img);
}

} // namespace

QFont RMObjectFont(const TRMObject& o)
{
    QFont f(o.fontFamily);
    f.setPointSizeF(o.fontSize);
    f.setBold(o.bold);
    f.setItalic(o.italic);
    f.setUnderline(o.underline);
    return f;
}

std::shared_ptr<const TRMPreparedReport> RMPrepare(const TRMEngineInput& input)
{
    auto out = std::make_shared<TRMPreparedReport>();
    out->tmpl = *input.tmpl;
    out->tmpl.SortBands();
    out->background = loadPicture(out->tmpl.page.backgroundFile, out->tmpl.page.backgroundData, input.templateDir,
                                  &out->warnings);
    TLayout(input, *out).run();
    return out;
}

void RMPaintObject(QPainter& p, const TRMObject& o, const QRectF& r, const QString& text,
                   const TRMBarcodeShape* barcode, const QImage& picture, double k)
{
    if (o.fill.isValid() && o.kind != TRMObjectKind::Picture)
        p.fillRect(r, o.fill);
    switch (o.kind) {
    case TRMObjectKind::Memo: {
        p.setFont(RMObjectFont(o));
        p.setPen(o.color);
        const double pad = kPadding * k;
        p.drawText(r.adjusted(pad, pad, -pad, -pad), int(o.align) | (o.wordWrap ? Qt::TextWordWrap : 0), text);
        break;
    }
    case TRMObjectKind::AngledLabel: {
        p.save();
        p.translate(r.center());
        p.rotate(-o.angle);
        // Turned by about a quarter, the text runs along the frame's long side.
        const double a = std::fmod(std::abs(o.angle), 180.0);
        const bool across = a > 45 && a < 135;
        const QSizeF s = across ? QSizeF(r.height(), r.width()) : r.size();
        p.setFont(RMObjectFont(o));
        p.setPen(o.color);
        p.drawText(QRectF(-s.width() / 2, -s.height() / 2, s.width(), s.height()),
                   int(o.align) | (o.wordWrap ? Qt::TextWordWrap : 0), text);
        p.restore();
        break;
    }
    case TRMObjectKind::BarCode:
        if (barcode)
            RMPaintBarcode(p, *barcode, o.barcode, r, o.showText ? text : QString(), RMObjectFont(o));
        break;
    case TRMObjectKind::Picture:
        paintPicture(p, picture, r);
        break;
    }
    paintFrame(p, o, r, k);
}

void RMPaintPage(QPainter& p, const TRMPreparedReport& report, int index, double k, bool onPrinter)
{
    if (index < 0 || index >= int(report.pages.size()))
        return;
    const TRMPageSetup& page = report.tmpl.page;
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    if (!report.background.isNull() && (page.backgroundPrinted || !onPrinter)) {
        const QRectF bg = page.backgroundRect.isEmpty() ? QRectF(0, 0, page.width, page.height) : page.backgroundRect;
        p.drawImage(QRectF(bg.x() * k, bg.y() * k, bg.width() * k, bg.height() * k), report.background);
    }
    for (const TRMPreparedItem& item : report.pages[size_t(index)].items) {
        const QRectF r(item.rect.x() * k, item.rect.y() * k, item.rect.width() * k, item.rect.height() * k);
        RMPaintObject(p, *item.object, r, item.text, item.barcode.get(), item.picture, k);
    }
    p.restore();
}

QImage RMPageImage(const TRMPreparedReport& report, int index, double dpi)
{
    const TRMPageSetup& page = report.tmpl.page;
    const double k = dpi / 25.4;
    QImage img(qMax(1, qRound(page.width * k)), qMax(1, qRound(page.height * k)), QImage::Format_RGB32);
    img.setDotsPerMeterX(qRound(dpi / 0.0254));
    img.setDotsPerMeterY(qRound(dpi / 0.0254));
    img.fill(Qt::white);
    QPainter p(&img);
    RMPaintPage(p, report, index, k);
    return img;
}

static QPageLayout layoutOf(const TRMPageSetup& page)
{
    // The sheet as it is laid out; a wide sheet goes through the printer turned.
    const bool wide = page.width > page.height;
    const QSizeF portrait = wide ? QSizeF(page.height, page.width) : QSizeF(page.width, page.height);
    return QPageLayout(QPageSize(portrait, QPageSize::Millimeter, QString(), QPageSize::ExactMatch),
                       wide ? QPageLayout::Landscape : QPageLayout::Portrait, QMarginsF());
}

bool RMExportPdf(const TRMPreparedReport& report, const QString& fileName, QString* error)
{
    QPdfWriter writer(fileName);
    writer.setResolution(600);
    writer.setPageLayout(layoutOf(report.tmpl.page));
    writer.setCreator(QStringLiteral("VarnoqERP"));
    QPainter p;
    if (!p.begin(&writer)) {
        if (error)
            *error = QStringLiteral("无法写入文件：%1").arg(fileName);
        return false;
    }
    const double k = writer.resolution() / 25.4;
    for (int i = 0; i < int(report.pages.size()); ++i) {
        if (i > 0)
            writer.newPage();
        RMPaintPage(p, report, i, k);
    }
    return p.end();
}

void RMSetupPrinter(const TRMPageSetup& page, QPrinter* printer)
{
    printer->setFullPage(true);
    printer->setPageLayout(layoutOf(page));
}

void RMPrint(const TRMPreparedReport& report, QPrinter* printer)
{
    int from = 1, to = int(report.pages.size());
    if (printer->printRange() == QPrinter::PageRange && printer->fromPage() > 0) {
        from = std::max(from, printer->fromPage());
        to = std::min(to, printer->toPage() > 0 ? printer->toPage() : to);
    }
    QPainter p;
    if (from > to || !p.begin(printer))
        return;
    const double k = printer->resolution() / 25.4;
    for (int i = from; i <= to; ++i) {
        if (i > from)
            printer->newPage();
        RMPaintPage(p, report, i - 1, k, true);
    }
    p.end();
}
