#pragma once
// Module packages: shared libraries in bpl/ beside the program. Loading one runs its units'
// registrations (KX_REGISTER_CLASS, KX_REGISTER_PACKAGE); packages stay loaded until the
// program ends (tests unload them to check that registrations go away).
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

class QLibrary;

struct TKxPackageResult {
    enum class Reason {
        Loaded,        // loaded now (or already loaded earlier)
        Missing,       // no such file: skipped without a message
        NotPlainName,  // the name holds a folder separator, drive or "..": refused
        LoadFailed,    // the loader refused the file; message holds its text
    };
    Reason reason = Reason::Missing;
    QString path;
    QString message; // what the operator is shown (LoadFailed, NotPlainName)
    bool ok() const { return reason == Reason::Loaded; }
};

// The program's bpl/ folder.
QString KxPackageDir();

// Loads bplDir/libname (all symbols resolved at load, so a broken package fails here and
// not later in the middle of a module).
TKxPackageResult KxLoadPackage(const QString& bplDir, const QString& libname);
// Unloads a package loaded by KxLoadPackage (its classes are unregistered). False if unknown.
bool KxUnloadPackage(const QString& path);

// Identity of a loaded package, registered by one line in the package.
struct TKxPackageInfo {
    QString name;
    QString title;
};
std::vector<TKxPackageInfo> KxRegisteredPackages();

class TKxPackageRegistrar {
public:
    TKxPackageRegistrar(const QString& name, const QString& title);
    ~TKxPackageRegistrar();
    TKxPackageRegistrar(const TKxPackageRegistrar&) = delete;
    TKxPackageRegistrar& operator=(const TKxPackageRegistrar&) = delete;

private:
    quint64 m_token;
};

#define KX_REGISTER_PACKAGE(name, title) \
    static const TKxPackageRegistrar kxPackageRegistrar(QStringLiteral(name), QStringLiteral(title));
