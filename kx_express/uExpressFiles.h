#pragma once
// The files of waybill templates. The service keeps them, so every workstation prints the
// same forms; the "express" folder beside the program holds the copies read and printed.
// A file is written here only after the service took it.
#include <QByteArray>
#include <QString>

// Where a template file lives on this workstation ("express/<stem>.<ext>").
QString KxExpressPath(const QString& stem, const QString& ext);
// Another folder for the copies (tests, a second workstation); empty: "express/" again.
void KxSetExpressFolder(const QString& folder);
// A stem is a bare file name: no folder separators, drive letters, "..", or characters a
// file name cannot hold. A bad one is reported to the operator.
bool KxExpressStemOk(const QString& stem, bool report = true);

enum class TExpressFetch { Found, Missing, Failed };
// The file's bytes: the service's copy (kept in the local folder), or when the service has
// none the local file. Failed: the call or the stem was refused (already shown).
TExpressFetch KxFetchExpressFile(const QString& method, const QString& stem, const QString& ext, QByteArray* bytes);
// Sends the file to the service, then writes the local copy. False when either fails (shown).
bool KxStoreExpressFile(const QString& method, const QString& stem, const QString& ext, const QByteArray& bytes);
// Writes the local copy alone (the service's copy having come first).
bool KxWriteLocalExpressFile(const QString& stem, const QString& ext, const QByteArray& bytes);
// Removes the local copy.
void KxRemoveLocalExpressFile(const QString& stem, const QString& ext);
