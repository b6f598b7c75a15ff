#pragma once
// The administrator's commands: `kxservice admin …` (sellers and their accounts),
// `kxservice backup` and `kxservice restore`. Each prints what it did on standard output
// and a refusal on standard error; exit code 0 done, 1 refused or failed, 2 bad usage.
#include <QStringList>

bool KxIsCommand(const QString& word);
// args: the program's arguments, args[1] the command word.
int KxRunCommand(const QStringList& args);
