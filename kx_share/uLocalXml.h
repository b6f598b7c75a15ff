#pragma once
// The small XML files kept beside the program ("ColsDef.xml", "SearchDef.xml"): read in
// whatever encoding they declare, written declared gb2312 with a GB18030 encoder (the same
// bytes wherever gb2312 has the character, and no character is lost), and element names made
// from captions, titles and scheme names.
#include <QDomDocument>
#include <QString>

// A missing file gives an empty document and true. False with a message for an unreadable
// or malformed file, or an encoding this system cannot decode.
bool KxLoadLocalXml(const QString& fileName, QDomDocument* doc, QString* error);
// Written whole or not at all: the old file stays until the new one is complete.
bool KxSaveLocalXml(const QString& fileName, const QDomDocument& doc, QString* error);

// A valid XML name is returned unchanged (old files keep matching); any other character is
// written as _xHHHH_ (and a "_x" that would read as such an escape as _x005F_), so every
// non-empty caption has exactly one element name and reads back as itself.
QString KxEncodeXmlName(const QString& text);
QString KxDecodeXmlName(const QString& name);
