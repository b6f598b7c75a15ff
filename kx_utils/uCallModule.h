#pragma once
// Modules are created by class name. Each unit of a module package registers its classes
// with one line, KX_REGISTER_CLASS(TfrmSomething): the class is known while the package is
// loaded and forgotten when it unloads. CallModule/CallMethod ask the service which class
// implements a module and create it by that name.
#include <QMetaObject>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <type_traits>
#include <vector>

class TfrmBase;
class TmedBase;

struct TKxClassInfo {
    QString name;
    const QMetaObject* meta = nullptr;
    std::function<QObject*(QObject* owner)> create;
    quint64 token = 0;
};

// Registered classes by exact name. A name registered twice resolves to the later
// registration until that one is removed.
class TKxClassRegistry {
public:
    static TKxClassRegistry& Instance();

    quint64 Register(const QString& name, const QMetaObject* meta, std::function<QObject*(QObject*)> create);
    void Unregister(quint64 token);
    const TKxClassInfo* Find(const QString& name) const;
    QStringList Names() const;

    enum class Error { None, NotRegistered, WrongKind };
    // Creates the class registered as `name` when it descends from `base`.
    QObject* Create(const QString& name, const QMetaObject& base, QObject* owner, Error* error = nullptr) const;

private:
    std::vector<TKxClassInfo> m_classes;
    quint64 m_next = 1;
};

template <class T>
QObject* KxCreateInstance(QObject* owner)
{
    // Windows get their owner as parent (they stay top-level windows, freed with it).
    if constexpr (std::is_base_of_v<QWidget, T>)
        return new T(qobject_cast<QWidget*>(owner));
    else
        return new T(owner);
}

// Registers on construction (package load) and unregisters on destruction (unload).
class TKxClassRegistrar {
public:
    TKxClassRegistrar(const QString& name, const QMetaObject* meta, std::function<QObject*(QObject*)> create)
        : m_token(TKxClassRegistry::Instance().Register(name, meta, std::move(create)))
    {
    }
    ~TKxClassRegistrar() { TKxClassRegistry::Instance().Unregister(m_token); }
    TKxClassRegistrar(const TKxClassRegistrar&) = delete;
    TKxClassRegistrar& operator=(const TKxClassRegistrar&) = delete;

private:
    quint64 m_token;
};

#define KX_REGISTER_CLASS(T)                                                                       \
    static_assert(std::is_base_of_v<QObject, T>, #T " must be a QObject");                         \
    static const TKxClassRegistrar kxClassRegistrar_##T(QStringLiteral(#T), &T::staticMetaObject,  \
                                                        &KxCreateInstance<T>);

// The "not registered" message for a class name.
QString KxNotRegisteredText(const QString& className);

// Asks the service for the module, creates its registered window class with `owner`, and
// gives it the whole answer. None when the call failed or the class is unknown (shown).
// Parameter lines are "name=value" request parameters added after "module".
TfrmBase* CallModule(QWidget* owner, const QString& moduleName, const QStringList& lines = {});

// The same module answer, run without a window: the module's "search" method is called with
// the lines and "curpage" = "0"; the rows come back in the result stream as a data packet
// (empty when that call failed). The caller frees the returned object.
TmedBase* CallMethod(QObject* owner, const QString& moduleName, const QStringList& lines = {});
