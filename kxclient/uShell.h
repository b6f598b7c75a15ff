#pragma once
// The shell's start-up: the master nick, the directory call, the package list, the URL
// scheme, and the program's end.
#include <QString>
#include <QStringList>
#include <functional>

class THttpWeb;
class TFrmClient;

// The directory client: created when the program loads, its answer kept for the whole run.
THttpWeb& KxDirectory();
// A value of the directory answer ("loginsys", "help", ...).
QString KxDirectoryParam(const QString& name);

// The application title shown in window captions.
QString KxAppTitle();
void KxSetAppTitle(const QString& title);

// The master nick carried by a start URL: "korvadex://NICK/" gives NICK.
QString KxNickFromUrl(const QString& arg);
// From nick.dll in `dir` when it exists, else from the first argument (may be empty).
QString KxReadMasterNick(const QString& dir, const QStringList& args);
// Writes nick.dll in `dir`; false when the file cannot be written.
bool KxWriteMasterNick(const QString& dir, const QString& nick);

// Registers the "korvadex" URL scheme for this program; failures are ignored.
void KxRegisterUrlScheme(const QString& programPath);

// The directory call for the master nick found now. On success sets gNickId, gNickName and
// the application title.
bool KxDirectoryCall(const QString& dir, const QStringList& args);
// Package file names in the service's order; empty when the call fails.
QStringList KxPackageList();

// Ends the program (from any loop). Tests replace the handler.
void KxTerminate();
bool KxTerminated();
void KxSetTerminateHandler(std::function<void()> handler); // empty restores the default

// The start sequence up to a successful login. Returns the main window to run, or null
// when the program ends. `args` are the arguments after the program name.
TFrmClient* KxStartClient(const QStringList& args);
