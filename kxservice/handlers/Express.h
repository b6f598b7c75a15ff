#pragma once
// Waybill templates: their records are a simple master table (MasterData, "Express"); their
// files (layout ".des", printable report ".ref") are kept here, so that every workstation
// prints the same forms.
#include "dispatch/Dispatcher.h"

const std::vector<TMethodDef>& KxExpressMethods();

// Refuses a template file stem that could leave the templates' folder or is not a file name
// on every workstation: separators, drive letters, "..", control characters, blank.
void KxCheckExpressFile(const QString& stem);
// Refuses a stem another template of the seller already has (`exceptId`: the row itself).
void KxCheckExpressUnique(TContext& ctx, const QString& stem, const QString& exceptId);
// A deleted template leaves its layout behind nowhere.
void KxDeleteExpressFiles(TContext& ctx, const QString& expressId);
