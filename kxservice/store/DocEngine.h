#pragma once
// The stock document engine: everything a document kind shares, driven by its description
// (DocKind.h). A page of the list, the lines of one document, the edit load, the save (first
// save numbered per seller and day, repeated first saves refused by the header's md5_key, lines
// changed by their delta and checked against what the client loaded) and the audit (status,
// stock, ledger and prices in the call's one transaction). docs/stock-document-engine.md.
#include "DocKind.h"
#include "History.h"
#include "dispatch/Dispatcher.h"
#include "store/Packet.h"

void KxDocSearch(TContext& ctx, const TDocKind& kind);
void KxDocLines(TContext& ctx, const TDocKind& kind);
void KxDocLoad(TContext& ctx, const TDocKind& kind);
void KxDocSave(TContext& ctx, const TDocKind& kind);
void KxDocAudit(TContext& ctx, const TDocKind& kind);

// Adds the headers of the documents `ids` (in list order) as the packet `name`.
void KxDocAnswerHeaders(TContext& ctx, const TDocKind& kind, const QString& name, const QStringList& ids);

// Adds the lines of the documents `ids` as the packet `name`, by number and line.
void KxDocAnswerLines(TContext& ctx, const TDocKind& kind, const QString& name, const QStringList& ids);

// Saves several documents in the call's one transaction, each as the kind's save does: one
// header change each in `master`, their line changes in `detail` (by md5_key). Returns the
// documents' numbers in the order of `master`.
QStringList KxDocSaveMany(TContext& ctx, const TDocKind& kind, const QList<TDeltaChange>& master, const QList<TDeltaChange>& detail);

// The changes of the call's attachment `part` ("deltamaster", "deltadetail"); empty when the
// call has none. Every document delta is read here.
QList<TDeltaChange> KxDocDelta(const TContext& ctx, const QString& part);

// The five methods of a kind, named area + ".Search", ".ListDetail", ".Load", ".Update",
// ".Audit"; `area` must outlive the program (a literal).
template <const TDocKind& K>
std::vector<TMethodDef> KxDocMethods(const char* area)
{
    // Method names live as long as the program: keep their texts in static storage.
    static const QByteArray names[] = {QByteArray(area) + ".Search", QByteArray(area) + ".ListDetail", QByteArray(area) + ".Load",
                                       QByteArray(area) + ".Update", QByteArray(area) + ".Audit"};
    // A document's history is read by whoever may load it.
    KxHistoryArea(QString::fromLatin1(area), QString::fromLatin1(K.table), QString::fromLatin1(names[2]));
    return {
        {names[0].constData(), EAccess::Module, ETx::Read, [](TContext& c) { KxDocSearch(c, K); }},
        {names[1].constData(), EAccess::Module, ETx::Read, [](TContext& c) { KxDocLines(c, K); }},
        {names[2].constData(), EAccess::Module, ETx::Read, [](TContext& c) { KxDocLoad(c, K); }},
        {names[3].constData(), EAccess::Module, ETx::Write, [](TContext& c) { KxDocSave(c, K); }},
        {names[4].constData(), EAccess::Module, ETx::Write, [](TContext& c) { KxDocAudit(c, K); }},
    };
}
