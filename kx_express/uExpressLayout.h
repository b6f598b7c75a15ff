#pragma once
// A waybill template: the scanned blank form as background, the paper and print offsets in
// millimetres, and the field labels placed on the form. Kept as a layout file (".des", the
// component stream of the designer's canvas: "bgImage", "printinfo", one TMRLabel a field)
// and turned into the printable report (".ref") from which waybills print.
#include "uRMTemplate.h"

#include <QByteArray>
#include <QList>
#include <QRect>
#include <QSize>
#include <QString>

// Screen pixels of a millimetre on the designer's canvas.
constexpr double kExpressPxPerMm = 96 / 25.4;
int KxMmToPx(double mm);
double KxPxToMm(int px);

struct TExpressLabel {
    QString name;     // the field key
    QString memo;     // the report expression
    QRect rect;       // pixels on the background
    double fontSize = 10;
    bool operator==(const TExpressLabel&) const = default;
};

struct TExpressLayout {
    // Background picture file, relative to the program folder when it lies inside it.
    QString backFile;
    double mmWidth = 230, mmHeigth = 170;
    double mmMarginLeft = 0, mmMarginRight = 0, mmMarginTop = 0, mmMarginBottom = 0;
    QByteArray picture;          // the background picture itself, so the file travels whole
    QSize bgSize{820, 530};      // the background's pixel size on the canvas
    QList<TExpressLabel> labels;

    const TExpressLabel* Label(const QString& name) const;
    bool operator==(const TExpressLayout&) const = default;
};

// The layout file's bytes.
QByteArray KxWriteExpressLayout(const TExpressLayout& layout);
// False with the reason when the bytes are not a layout written by this program.
bool KxReadExpressLayout(const QByteArray& bytes, TExpressLayout* layout, QString* error);

// The canvas's sheet: the background's size, the labels as objects of one band, positions in
// millimetres of the background's corner.
TRMTemplate KxExpressSheet(const TExpressLayout& layout);
// Takes the labels (their places, sizes and fonts) back from a sheet.
void KxExpressLabelsFromSheet(const TRMTemplate& sheet, TExpressLayout* layout);

// The printable report: the sheet of the paper size with the offsets as margins, the
// background moved by the left and top offsets (shown, exported, not printed on the
// pre-printed form), one page per picking list, each label a memo at its place.
TRMTemplate KxExpressReport(const TExpressLayout& layout);
// The same as the report file's bytes (".ref").
QByteArray KxExpressReportBytes(const TExpressLayout& layout);

// The printable fields, in groups; a group with a data set takes its fields from it.
struct TExpressField {
    QString key, caption;
};
struct TExpressGroup {
    QString caption, dataSet;
    QList<TExpressField> fields;
};
const QList<TExpressGroup>& KxExpressGroups();
// The caption of a field key ("" for none).
QString KxExpressCaption(const QString& key);
// The report expression of a field of a group.
QString KxExpressExpression(const TExpressGroup& group, const TExpressField& field);
// "field=caption" lines of the printable fields of a data set, so templates find fields by
// caption whatever captions the service gives.
QString KxExpressFieldLabels(const QString& dataSet);
