#pragma once
// What a stocktake's freeze means for the other documents: while a batch is effective, the
// storages frozen for it keep the stock recorded at the freeze, so no audit may move it; and
// a count sheet names an effective batch and a storage frozen for it.
#include "dispatch/Context.h"

#include <QHash>
#include <QStringList>

// Refuses, naming the storage and the batch, when any of `storages` (empty ones ignored) is
// frozen for an effective batch. On PostgreSQL the storages' rows are share-locked first, so
// an audit and a freeze of the same storage run one after the other.
void KxRefuseFrozen(TContext& ctx, const QStringList& storages);

// Locks a storage's row against the share lock above: a freeze reads the book stock only
// after every audit that could still move it has committed.
void KxLockStorageForFreeze(TContext& ctx, const QString& storage);

// A count sheet's header check at save: its batch ("checkcode") is effective and its storage
// is frozen for it.
void KxCheckSheetSave(TContext& ctx, const QHash<QString, QString>& fields);
