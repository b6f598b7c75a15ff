#include "uPackages.h"
#include "ufrmBase.h"

#include <QFileInfo>
#include <QLibrary>
#include <map>

namespace {

struct Loaded {
    std::map<QString, std::unique_ptr<QLibrary>> libraries; // by canonical path
};

Loaded& loaded()
{
    static Loaded l;
    return l;
}

struct PackageEntry {
    TKxPackageInfo info;
    quint64 token;
};

std::vector<PackageEntry>& packages()
{
    static std::vector<PackageEntry> p;
    return p;
}

quint64 nextToken = 1;

} // namespace

QString KxPackageDir()
{
    return KxProgramDir() + QStringLiteral("/bpl");
}

TKxPackageResult KxLoadPackage(const QString& bplDir, const QString& libname)
{
    TKxPackageResult r;
    if (!KxIsPlainFileName(libname)) {
        r.reason = TKxPackageResult::Reason::NotPlainName;
        r.message = QStringLiteral("模块包名称无效：") + libname;
        return r;
    }
    const QFileInfo file(bplDir + u'/' + libname);
    r.path = file.absoluteFilePath();
    if (!file.isFile()) {
        r.reason = TKxPackageResult::Reason::Missing;
        return r;
    }
    const QString key = file.canonicalFilePath();
    auto& libs = loaded().libraries;
    if (libs.count(key)) {
        r.reason = TKxPackageResult::Reason::Loaded;
        return r;
    }
    auto lib = std::make_unique<QLibrary>(key);
    lib->setLoadHints(QLibrary::ResolveAllSymbolsHint);
    if (!lib->load()) {
        r.reason = TKxPackageResult::Reason::LoadFailed;
        r.message = lib->errorString();
        return r;
    }
    libs.emplace(key, std::move(lib));
    r.reason = TKxPackageResult::Reason::Loaded;
    return r;
}

bool KxUnloadPackage(const QString& path)
{
    auto& libs = loaded().libraries;
    const auto it = libs.find(QFileInfo(path).canonicalFilePath());
    if (it == libs.end())
        return false;
    it->second->unload();
    libs.erase(it);
    return true;
}

std::vector<TKxPackageInfo> KxRegisteredPackages()
{
    std::vector<TKxPackageInfo> out;
    for (const auto& p : packages())
        out.push_back(p.info);
    return out;
}

TKxPackageRegistrar::TKxPackageRegistrar(const QString& name, const QString& title) : m_token(nextToken++)
{
    packages().push_back({{name, title}, m_token});
}

TKxPackageRegistrar::~TKxPackageRegistrar()
{
    std::erase_if(packages(), [this](const PackageEntry& e) { return e.token == m_token; });
}
