#pragma once
// Files the client keeps for its operator beside itself: nick.dll, the column layouts
// (ColsDef.xml), the search schemes (SearchDef.xml) and the report templates it edits
// (rmf/…). Installed, the program folder is read-only, so these live in the user's data
// folder: a file there is used first; otherwise the program folder's, as before, while it
// can be written; otherwise the program folder's copy is taken into the user's folder on
// first use, so that it can be changed there. One path serves reading and writing.
#include <QString>

// The user's data folder for these files (~/.local/share/varnoqerp on Linux).
QString KxUserDataDir();
// The path for `relative` (for example "ColsDef.xml" or "rmf/caigoudan.rmf").
QString KxUserFile(const QString& relative);
// The same choice between the two folders given; for tests and tools.
QString KxUserFileIn(const QString& programDir, bool programWritable, const QString& userDir, const QString& relative);
