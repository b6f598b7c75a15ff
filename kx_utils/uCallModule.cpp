#include "uCallModule.h"
#include "uHttpWeb.h"
#include "uUiHooks.h"
#include "ufrmBase.h"
#include "wire/uConfig.h"

#include "uPClientDataSet.h"

TKxClassRegistry& TKxClassRegistry::Instance()
{
    static TKxClassRegistry registry;
    return registry;
}

quint64 TKxClassRegistry::Register(const QString& name, const QMetaObject* meta,
                                   std::function<QObject*(QObject*)> create)
{
    const quint64 token = m_next++;
    m_classes.push_back({name, meta, std::move(create), token});
    return token;
}

void TKxClassRegistry::Unregister(quint64 token)
{
    std::erase_if(m_classes, [token](const TKxClassInfo& c) { return c.token == token; });
}

const TKxClassInfo* TKxClassRegistry::Find(const QString& name) const
{
    for (auto it = m_classes.rbegin(); it != m_classes.rend(); ++it)
        if (it->name == name)
            return &*it;
    return nullptr;
}

QStringList TKxClassRegistry::Names() const
{
    QStringList names;
    for (const auto& c : m_classes)
        if (!names.contains(c.name))
            names << c.name;
    return names;
}

QObject* TKxClassRegistry::Create(const QString& name, const QMetaObject& base, QObject* owner, Error* error) const
{
    const TKxClassInfo* info = Find(name);
    Error e = Error::None;
    QObject* obj = nullptr;
    if (!info)
        e = Error::NotRegistered;
    else if (!info->meta || !info->meta->inherits(&base))
        e = Error::WrongKind; // never cast an object of another kind
    else
        obj = info->create(owner);
    if (error)
        *error = e;
    return obj;
}

QString KxNotRegisteredText(const QString& className)
{
    return QStringLiteral("【") + className + QStringLiteral("】此模块视图没有注册!");
}

namespace {

// Steps shared by both calls: ask for the module, create the class, hand it the answer.
QObject* createModule(QObject* owner, const QString& moduleName, const QStringList& lines,
                      const QMetaObject& base, const QString* fixedClass, QString* answer)
{
    THttpWeb web;
    web.setModule(moduleName);
    web.Request()->AddParamLines(lines);
    if (!web.SendData())
        return nullptr;
    const QString className = fixedClass ? *fixedClass : web.Response()->GetParam(QStringLiteral("moduleclass"));
    *answer = web.Response()->GetReceive();
    QObject* obj = TKxClassRegistry::Instance().Create(className, base, owner);
    if (!obj)
        KxShowError(KxNotRegisteredText(className));
    return obj;
}

} // namespace

TfrmBase* CallModule(QWidget* owner, const QString& moduleName, const QStringList& lines)
{
    QString answer;
    auto* frm = static_cast<TfrmBase*>(
        createModule(owner, moduleName, lines, TfrmBase::staticMetaObject, nullptr, &answer));
    if (frm)
        frm->InitModule(answer);
    return frm;
}

TmedBase* CallMethod(QObject* owner, const QString& moduleName, const QStringList& lines)
{
    static const QString medClass = QStringLiteral("TmedBase");
    QString answer;
    auto* med = static_cast<TmedBase*>(
        createModule(owner, moduleName, lines, TmedBase::staticMetaObject, &medClass, &answer));
    if (!med)
        return nullptr;
    med->InitModule(answer);

    THttpWeb web;
    web.setModule(med->GetParam(QStringLiteral("search")));
    web.setNickid(gNickId);
    web.setOperid(gOperId);
    web.Request()->AddParamLines(lines);
    web.Request()->AddParams(QStringLiteral("curpage"), QStringLiteral("0"));
    if (web.SendData()) {
        TPClientDataSet rows;
        rows.KXAppendData(web.Response()->GetParam(QStringLiteral("xmldata")), false);
        rows.SaveToStream(med->ResultStream());
    }
    return med;
}
