#pragma once
// Lays a template out over its data into pages of placed items (Prepare), and paints a
// prepared page onto any QPainter device: screen images, PDF files, printers.
#include "uRMExpr.h"
#include "uRMTemplate.h"

#include <QImage>
#include <QList>
#include <memory>
#include <vector>

class QPainter;
class QPrinter;
class TRMDBDataSet;
struct TRMBarcodeShape;

struct TRMPreparedItem {
    const TRMObject* object = nullptr; // style: points into the prepared report's template
    QRectF rect;                       // millimetres from the sheet's top-left corner
    QString text;
    std::shared_ptr<const TRMBarcodeShape> barcode;
    QImage picture;
};

struct TRMPreparedPage {
    std::vector<TRMPreparedItem> items;
};

struct TRMPreparedReport {
    TRMTemplate tmpl;
    QImage background;
    std::vector<TRMPreparedPage> pages;
    QStringList unknownNames; // expressions and data sets that named nothing
    QStringList warnings;     // pictures that could not be read, barcodes that could not be made
};

struct TRMEngineInput {
    const TRMTemplate* tmpl = nullptr;
    QList<TRMDBDataSet*> dataSets;
    TRMVariables variables;
    QString templateDir; // pictures named by a relative file are looked for here
};

std::shared_ptr<const TRMPreparedReport> RMPrepare(const TRMEngineInput& input);

// Paints page `index` with `pxPerMm` device units per millimetre, the sheet's corner at the
// painter's origin.
// On a printer a background that is not printed (pre-printed paper) is left out.
void RMPaintPage(QPainter& painter, const TRMPreparedReport& report, int index, double pxPerMm, bool onPrinter = false);
// The page as an image, `dpi` dots per inch, white paper.
QImage RMPageImage(const TRMPreparedReport& report, int index, double dpi);
bool RMExportPdf(const TRMPreparedReport& report, const QString& fileName, QString* error);
// Prints every page (or the printer's chosen range) onto a printer already set up.
void RMPrint(const TRMPreparedReport& report, QPrinter* printer);
// Gives the printer the template's sheet.
void RMSetupPrinter(const TRMPageSetup& page, QPrinter* printer);

// Paints one object into `rect` (device units) with `k` device units per millimetre.
void RMPaintObject(QPainter& painter, const TRMObject& object, const QRectF& rect, const QString& text,
                   const TRMBarcodeShape* barcode, const QImage& picture, double k);

// The font of a text object, sized in points.
QFont RMObjectFont(const TRMObject& object);
