#pragma once
// The panel that holds a designed set of controls and stores and restores it as a component
// stream (see docs/panel-stream.md). Controls are created by their registered class name.
#include <QFrame>
#include <QList>
#include <QString>

#include <functional>

class IKXDesign;
class QIODevice;
struct TKxComponentRecord;

using TKxControlFactory = std::function<QWidget*(QWidget* parent)>;

// The table of designable control classes, filled by each control's unit when the library
// loads.
void KxRegisterDesignControl(const QMetaObject* meta, TKxControlFactory factory);
// None for a class name that is not registered.
QWidget* KxCreateDesignControl(const QString& className, QWidget* parent);
bool KxIsDesignControl(const QObject* object);

#define KX_REGISTER_DESIGN_CONTROL(T)                                                              \
    static const bool kxDesignRegistered_##T =                                                     \
        (KxRegisterDesignControl(&T::staticMetaObject, [](QWidget* parent) -> QWidget* { return new T(parent); }), \
         true);

class TPanelStage : public QFrame {
    Q_OBJECT
public:
    explicit TPanelStage(QWidget* parent = nullptr);

    // Each child control in child order, with its properties and nested controls.
    bool SaveToStream(QIODevice* stream) const;
    bool SaveToFile(const QString& fileName) const;
    QByteArray SaveToBytes() const;

    // Replaces the children by the controls read back from the start of the stream. A stream
    // that cannot be read leaves the panel as it was and returns false with LastError().
    bool LoadFromStream(QIODevice* stream);
    bool LoadFromFile(const QString& fileName);
    bool LoadFromBytes(const QByteArray& bytes);

    QString LastError() const { return m_error; }

    // Every input control on the panel, nested ones included, in child order.
    QList<IKXDesign*> DesignControls() const;

private:
    bool build(const QList<TKxComponentRecord>& records);
    void create(const TKxComponentRecord& record, QWidget* parent);
    bool fail(const QString& message);

    QString m_error;
};
