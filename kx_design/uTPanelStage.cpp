#include "uTPanelStage.h"

#include "codec/uPanelStream.h"
#include "uIKXDesign.h"

#include <QFile>
#include <QHash>
#include <QMetaProperty>

namespace {

struct ControlClass {
    const QMetaObject* meta;
    TKxControlFactory factory;
};

QHash<QString, ControlClass>& controlClasses()
{
    static QHash<QString, ControlClass> classes;
    return classes;
}

// Geometry is stored for every control under these names; everything else is a property the
// control's own class declares.
const QString kLeft = QStringLiteral("Left"), kTop = QStringLiteral("Top"), kWidth = QStringLiteral("Width"),
              kHeight = QStringLiteral("Height");

QList<QWidget*> designChildren(const QWidget* parent)
{
    QList<QWidget*> out;
    for (QObject* o : parent->children())
        if (o->isWidgetType() && KxIsDesignControl(o))
            out << static_cast<QWidget*>(o);
    return out;
}

TKxComponentRecord toRecord(const QWidget* w)
{
    TKxComponentRecord r;
    r.ClassName = QString::fromLatin1(w->metaObject()->className());
    r.Name = w->objectName();
    r.Properties = {{kLeft, w->x()}, {kTop, w->y()}, {kWidth, w->width()}, {kHeight, w->height()}};
    const QMetaObject* mo = w->metaObject();
    for (int i = mo->propertyOffset(); i < mo->propertyCount(); ++i) {
        const QMetaProperty p = mo->property(i);
        if (p.isStored() && p.isWritable())
            r.Properties.append({QString::fromLatin1(p.name()), p.read(w)});
    }
    for (const QWidget* child : designChildren(w))
        r.Children << toRecord(child);
    return r;
}

void applyProperties(QWidget* w, const TKxComponentRecord& r)
{
    QRect g(0, 0, 100, 24);
    const QMetaObject* mo = w->metaObject();
    for (const auto& [name, value] : r.Properties) {
        bool ok = true;
        if (name == kLeft)
            g.moveLeft(value.toInt(&ok));
        else if (name == kTop)
            g.moveTop(value.toInt(&ok));
        else if (name == kWidth)
            g.setWidth(value.toInt(&ok));
        else if (name == kHeight)
            g.setHeight(value.toInt(&ok));
        else {
            // A property the control lacks, or a value it refuses, is passed over.
            const int index = mo->indexOfProperty(name.toLatin1().constData());
            if (index >= mo->propertyOffset())
                mo->property(index).write(w, value);
        }
    }
    w->setGeometry(g);
}

} // namespace

void KxRegisterDesignControl(const QMetaObject* meta, TKxControlFactory factory)
{
    controlClasses().insert(QString::fromLatin1(meta->className()), {meta, std::move(factory)});
}

QWidget* KxCreateDesignControl(const QString& className, QWidget* parent)
{
    const auto it = controlClasses().constFind(className);
    return it == controlClasses().cend() ? nullptr : it->factory(parent);
}

bool KxIsDesignControl(const QObject* object)
{
    const auto it = controlClasses().constFind(QString::fromLatin1(object->metaObject()->className()));
    return it != controlClasses().cend() && it->meta == object->metaObject();
}

TPanelStage::TPanelStage(QWidget* parent) : QFrame(parent) {}

QByteArray TPanelStage::SaveToBytes() const
{
    QList<TKxComponentRecord> records;
    for (const QWidget* w : designChildren(this))
        records << toRecord(w);
    return KxWriteComponents(records);
}

bool TPanelStage::SaveToStream(QIODevice* stream) const
{
    const QByteArray bytes = SaveToBytes();
    if (!stream || stream->write(bytes) != bytes.size())
        return const_cast<TPanelStage*>(this)->fail(QStringLiteral("面板无法写入：%1").arg(stream ? stream->errorString() : QString()));
    return true;
}

bool TPanelStage::SaveToFile(const QString& fileName) const
{
    QFile f(fileName);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return const_cast<TPanelStage*>(this)->fail(QStringLiteral("面板文件 %1 无法写入：%2").arg(fileName, f.errorString()));
    return SaveToStream(&f);
}

bool TPanelStage::LoadFromStream(QIODevice* stream)
{
    if (!stream || !stream->isReadable())
        return fail(QStringLiteral("面板数据无法读取"));
    stream->seek(0);
    return LoadFromBytes(stream->readAll());
}

bool TPanelStage::LoadFromFile(const QString& fileName)
{
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("面板文件 %1 无法打开：%2").arg(fileName, f.errorString()));
    if (!LoadFromStream(&f))
        return fail(QStringLiteral("面板文件 %1：%2").arg(fileName, m_error));
    return true;
}

bool TPanelStage::LoadFromBytes(const QByteArray& bytes)
{
    QList<TKxComponentRecord> records;
    QString error;
    if (!KxReadComponents(bytes, &records, &error))
        return fail(error);
    return build(records);
}

bool TPanelStage::build(const QList<TKxComponentRecord>& records)
{
    // Every class is checked before the current controls go, so a panel naming an unknown
    // control stays as it was.
    std::function<bool(const QList<TKxComponentRecord>&)> known = [&](const QList<TKxComponentRecord>& list) {
        for (const auto& r : list) {
            if (!controlClasses().contains(r.ClassName))
                return fail(QStringLiteral("面板数据中的控件类 %1 没有注册").arg(r.ClassName));
            if (!known(r.Children))
                return false;
        }
        return true;
    };
    if (!known(records))
        return false;
    m_error.clear();
    const QList<QWidget*> old = designChildren(this);
    for (auto it = old.rbegin(); it != old.rend(); ++it)
        delete *it;
    for (const auto& r : records)
        create(r, this);
    return true;
}

void TPanelStage::create(const TKxComponentRecord& record, QWidget* parent)
{
    QWidget* w = KxCreateDesignControl(record.ClassName, parent);
    QWidget* owner = window();
    auto taken = [owner](const QString& name) {
        return !name.isEmpty() && (owner->objectName() == name || owner->findChild<QObject*>(name) != nullptr);
    };
    QString name = record.Name;
    if (taken(name)) {
        const QString base = record.ClassName.startsWith(u'T') ? record.ClassName.mid(1) : record.ClassName;
        for (int n = 1; taken(name = QStringLiteral("%1%2").arg(base).arg(n)); ++n) {
        }
    }
    w->setObjectName(name);
    applyProperties(w, record);
    for (const auto& child : record.Children)
        create(child, w);
    w->show();
}

QList<IKXDesign*> TPanelStage::DesignControls() const
{
    QList<IKXDesign*> out;
    for (QWidget* w : findChildren<QWidget*>())
        if (KxIsDesignControl(w))
            if (auto* d = qobject_cast<IKXDesign*>(w))
                out << d;
    return out;
}

bool TPanelStage::fail(const QString& message)
{
    m_error = message;
    return false;
}
