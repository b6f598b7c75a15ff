#pragma once
// The report template: one page set-up and the bands printed on it, each band holding its
// objects. Every length is in millimetres; object positions are relative to the band's
// top-left corner, which lies on the page's left margin. The template travels as readable
// XML (see docs/report-template.md).
#include <QByteArray>
#include <QColor>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <vector>

enum class TRMBandType { Title, PageHeader, MasterData, DetailHeader, DetailData, DetailFooter, Summary, PageFooter };
enum class TRMObjectKind { Memo, Picture, BarCode, AngledLabel };
enum class TRMBarcodeType { Code128, Ean13, QrCode };

// Sides of an object's frame.
enum TRMFrameSide { frLeft = 0x1, frTop = 0x2, frRight = 0x4, frBottom = 0x8, frAll = 0xF };

struct TRMObject {
    TRMObjectKind kind = TRMObjectKind::Memo;
    QString name;
    QRectF rect{0, 0, 30, 6};
    // Memo and label text with [..] expressions; the barcode's data; unused by pictures.
    QString text;
    QString fontFamily = QStringLiteral("WenQuanYi Micro Hei");
    double fontSize = 10; // points
    bool bold = false, italic = false, underline = false;
    QColor color = Qt::black;
    QColor fill; // invalid: transparent
    Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter;
    bool wordWrap = true;
    bool stretch = false;  // grows with its text when the band may stretch
    int frame = 0;         // TRMFrameSide bits
    double frameWidth = 0.2;
    double angle = 0;      // degrees, counter-clockwise (angled labels)
    TRMBarcodeType barcode = TRMBarcodeType::Code128;
    bool showText = true;  // barcodes: the data under the bars
    QString pictureFile;   // pictures: a file beside the template (or absolute)
    QByteArray pictureData; // pictures: the image itself, kept in the template

    bool operator==(const TRMObject&) const = default;
};

struct TRMBand {
    TRMBandType type = TRMBandType::MasterData;
    QString name;
    double height = 10;
    bool stretch = false;       // may grow to fit stretching memos
    bool newPageAfter = false;  // data bands: a new page after every record
    QString dataSet;            // data bands: alias of the data set
    QString master;             // detail bands: name of their master data band
    QString masterFields;       // detail bands: "a;b" of the master's data set ...
    QString detailFields;       // ... equal to "c;d" of the detail data set
    std::vector<TRMObject> objects;

    bool IsData() const { return type == TRMBandType::MasterData || type == TRMBandType::DetailData; }
    bool operator==(const TRMBand&) const = default;
};

struct TRMPageSetup {
    double width = 210, height = 297;
    double left = 10, top = 10, right = 10, bottom = 10;
    bool landscape = false; // how the sheet goes into the printer; width/height are as laid out
    QString backgroundFile;
    QByteArray backgroundData;
    // Where the background lies on the sheet (mm); empty: the whole sheet. A background that
    // is only a picture of pre-printed paper is shown and exported but not printed.
    QRectF backgroundRect;
    bool backgroundPrinted = true;

    bool operator==(const TRMPageSetup&) const = default;
};

class TRMTemplate {
public:
    TRMPageSetup page;
    std::vector<TRMBand> bands;

    QByteArray ToXml() const;
    // False (template unchanged) for anything that is not a whole, sound template.
    bool FromXml(const QByteArray& xml, QString* error);

    TRMBand* FindBand(const QString& name);
    const TRMBand* FindBand(const QString& name) const;
    const TRMBand* FindBandOfType(TRMBandType type) const;
    // Finds an object by name anywhere; band index returned through `bandIndex`.
    TRMObject* FindObject(const QString& name, int* bandIndex = nullptr);
    // A name not yet used by a band or an object: prefix + the lowest free number.
    QString UniqueName(const QString& prefix) const;
    // Puts the bands into printing order (title, page header, data groups, summary, footer),
    // keeping the relative order inside each group.
    void SortBands();
    // Every [..] expression used by the template's texts, in order of appearance.
    QStringList Expressions() const;

    bool operator==(const TRMTemplate&) const = default;
};

QString RMBandTypeName(TRMBandType type);      // "title", "pageheader", ...
QString RMBandTypeCaption(TRMBandType type);   // the designer's Chinese caption
bool RMBandTypeFromName(const QString& name, TRMBandType* type);
QString RMBarcodeTypeName(TRMBarcodeType type);
bool RMBarcodeTypeFromName(const QString& name, TRMBarcodeType* type);
