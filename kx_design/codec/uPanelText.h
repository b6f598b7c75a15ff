#pragma once
// The text form of a designed panel (the "searchfile" module parameter): Base64 in lines of
// 76 characters around a small XML document holding the panel's width, height and component
// stream, itself Base64 inside. Without widgets, so the service and tools can write it.
#include <QByteArray>
#include <QString>

struct TKxPanelText {
    int Width = 0;
    int Height = 0;
    QByteArray Module; // the component stream
};

// Base64 (MIME alphabet, "=" padding) broken by CR LF after every 76 characters.
QByteArray KxBase64Lines(const QByteArray& bytes);
// Skips every character outside the Base64 alphabet, so line breaks may stand anywhere.
// False when what is left is not Base64.
bool KxBase64Decode(const QByteArray& text, QByteArray* out);

QByteArray KxWritePanelText(const TKxPanelText& panel);
// False with a message when the text is not Base64, not the XML document, or its width or
// height is not an integer.
bool KxReadPanelText(const QByteArray& text, TKxPanelText* panel, QString* error);
