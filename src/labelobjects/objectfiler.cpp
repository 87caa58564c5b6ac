#include "labelobjects/objectfiler.h"

#include "labelobjects/graphiccontrol.h"
#include "labelobjects/panels.h"

#include <QFile>
#include <QFileInfo>

#include <memory>

namespace qb {

namespace {
const QByteArray kSignature("TPF0");

void WriteIntValue(LayoutWriter& w, const PropertyDef& p, int64_t v) {
    switch (p.kind) {
    case PropKind::Color:
        if (auto ident = ColorToIdent(int32_t(v)))
            w.WriteIdent(*ident);
        else
            w.WriteInteger(int32_t(v));
        return;
    case PropKind::Boolean:
        w.WriteBoolean(v != 0);
        return;
    case PropKind::Enum:
        if (v >= 0 && v < p.names.size())
            w.WriteIdent(p.names[int(v)]);
        else
            w.WriteInteger(v);
        return;
    case PropKind::Set: {
        QStringList members;
        for (int i = 0; i < p.names.size(); ++i)
            if (v & (int64_t(1) << i))
                members << p.names[i];
        w.WriteSet(members);
        return;
    }
    default:
        w.WriteInteger(v);
        return;
    }
}

int IndexOfName(const QStringList& names, const QString& name) {
    for (int i = 0; i < names.size(); ++i)
        if (names[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}
} // namespace

// ---- writing ---------------------------------------------------------------------------------

void TKLabelObjectFiler::WriteProperties(LayoutWriter& w, const Persistent* object,
                                         const std::vector<const PropertyDef*>& props,
                                         const QString& prefix) {
    for (const PropertyDef* pp : props) {
        const PropertyDef& p = *pp;
        if (!p.stored)
            continue;
        const QString name = prefix + p.name;
        switch (p.kind) {
        case PropKind::Integer:
        case PropKind::Color:
        case PropKind::Boolean:
        case PropKind::Enum:
        case PropKind::Set: {
            const int64_t v = p.getInt(object);
            if (p.defaultInt && v == *p.defaultInt)
                break;
            w.WriteShortString(name);
            WriteIntValue(w, p, v);
            break;
        }
        case PropKind::Float: {
            const double v = p.getFloat(object);
            if (v == 0.0)
                break;
            w.WriteShortString(name);
            w.WriteFloat(v);
            break;
        }
        case PropKind::String: {
            const QString v = p.getString(object);
            if (v.isEmpty() && !p.writeEmpty)
                break;
            w.WriteShortString(name);
            w.WriteString(v);
            break;
        }
        case PropKind::Event: {
            const QString v = p.getString(object);
            if (v.isEmpty())
                break;
            w.WriteShortString(name);
            w.WriteIdent(v);
            break;
        }
        case PropKind::StringList: {
            const QStringList lines = p.getList(object);
            if (lines.isEmpty())
                break;
            w.WriteShortString(name);
            w.WriteListBegin();
            for (const QString& line : lines)
                w.WriteString(line);
            w.WriteListEnd();
            break;
        }
        case PropKind::Binary: {
            const QByteArray bytes = p.getBytes(object);
            if (bytes.isEmpty())
                break;
            w.WriteShortString(name);
            w.WriteBinary(bytes);
            break;
        }
        case PropKind::Object: {
            Persistent* nested = p.object(const_cast<Persistent*>(object));
            if (!nested)
                break;
            std::vector<const PropertyDef*> inner;
            for (const PropertyDef& q : p.objectTable->props)
                inner.push_back(&q);
            WriteProperties(w, nested, inner, name + QLatin1Char('.'));
            break;
        }
        }
    }
}

void TKLabelObjectFiler::WriteRecord(LayoutWriter& w, const TKGraphicControl& object) {
    w.WriteRaw(kSignature);
    w.WriteShortString(object.ClassName());
    w.WriteShortString(object.objectName());
    WriteProperties(w, &object, object.Info().AllProperties(), QString());
    w.WriteByte(0); // end of properties
    w.WriteByte(0); // no children
}

void TKLabelObjectFiler::WriteList(LayoutWriter& w, const QList<TKGraphicControl*>& objects) {
    w.WriteListBegin();
    for (const TKGraphicControl* o : objects)
        WriteRecord(w, *o);
    w.WriteListEnd();
}

QByteArray TKLabelObjectFiler::PanelBytes(const TKBasePanel& panel) {
    LayoutWriter w;
    WriteList(w, panel.Objects());
    return w.Data();
}

// ---- reading ---------------------------------------------------------------------------------

void TKLabelObjectFiler::ReadProperty(LayoutReader& r, TKGraphicControl& object,
                                      const QString& path) {
    const QStringList parts = path.split(QLatin1Char('.'));
    Persistent* target = &object;
    const PropertyDef* p = object.Info().Find(parts[0]);
    for (int i = 1; p && i < parts.size(); ++i) {
        if (p->kind != PropKind::Object) {
            p = nullptr;
            break;
        }
        target = p->object(target);
        p = target ? p->objectTable->Find(parts[i]) : nullptr;
    }
    if (!p)
        throw StreamError(kPropertyDoesNotExist);

    switch (p->kind) {
    case PropKind::Integer:
        p->setInt(target, r.ReadInteger());
        return;
    case PropKind::Color:
        if (r.PeekValueType() == ValueType::Ident) {
            const auto c = IdentToColor(r.ReadIdent());
            if (!c)
                throw StreamError(kInvalidPropertyValue);
            p->setInt(target, *c);
        } else {
            p->setInt(target, int32_t(r.ReadInteger()));
        }
        return;
    case PropKind::Boolean:
        p->setInt(target, r.ReadBoolean() ? 1 : 0);
        return;
    case PropKind::Enum: {
        const int i = IndexOfName(p->names, r.ReadIdent());
        if (i < 0)
            throw StreamError(kInvalidPropertyValue);
        p->setInt(target, i);
        return;
    }
    case PropKind::Set: {
        if (r.ReadValueType() != ValueType::Set)
            throw StreamError(kInvalidPropertyValue);
        int64_t mask = 0;
        for (const QString& m : r.ReadSetBody()) {
            const int i = IndexOfName(p->names, m);
            if (i < 0)
                throw StreamError(kInvalidPropertyValue);
            mask |= int64_t(1) << i;
        }
        p->setInt(target, mask);
        return;
    }
    case PropKind::Float:
        p->setFloat(target, r.ReadFloat());
        return;
    case PropKind::String:
        p->setString(target, r.ReadString());
        return;
    case PropKind::Event: {
        // Handlers are not resolvable by name here: the event stays unassigned.
        const ValueType t = r.PeekValueType();
        if (t == ValueType::Ident)
            r.ReadIdent();
        else if (t == ValueType::Nil)
            r.ReadValueType();
        else
            throw StreamError(kInvalidPropertyValue);
        p->setString(target, QString());
        return;
    }
    case PropKind::StringList: {
        r.ReadListBegin();
        QStringList lines;
        while (!r.EndOfList())
            lines << r.ReadString();
        r.ReadByte();
        p->setList(target, lines);
        return;
    }
    case PropKind::Binary:
        if (r.ReadValueType() != ValueType::Binary)
            throw StreamError(kInvalidPropertyValue);
        p->setBytes(target, r.ReadBinaryBody());
        return;
    case PropKind::Object:
        throw StreamError(kInvalidPropertyValue);
    }
}

TKGraphicControl* TKLabelObjectFiler::ReadRecord(LayoutReader& r, TKBasePanel& panel) {
    if (r.ReadBytes(4) != kSignature)
        throw StreamError(kInvalidStreamFormat);
    r.SkipRecordPrefix();
    const QString className = r.ReadShortString();
    const ClassInfo* info = ClassRegistry::Find(className);
    if (!info)
        throw StreamError(
            QString::fromLatin1(kClassNotFound).replace(QLatin1String("%s"), className));
    std::unique_ptr<TKGraphicControl> object(info->create());
    const QString storedName = r.ReadShortString();
    QObject* owner = owner_ ? owner_.data() : panel.Owner();
    // Stored names are never kept: the first free "Component" + N.
    QString name = panel.UniqueName(QStringLiteral("Component"), 0, owner);
    if (name.isEmpty()) {
        name = storedName;
        if (panel.NameExists(name, owner))
            throw StreamError(QStringLiteral("A component named %1 already exists").arg(name));
    }
    object->setObjectName(name);
    object->SetLoading(true);
    object->setParent(&panel);
    while (!r.EndOfList())
        ReadProperty(r, *object, r.ReadShortString());
    r.ReadByte();
    if (r.ReadByte() != 0) // label objects have no children
        throw StreamError(kInvalidStreamFormat);
    object->SetLoading(false);
    object->show();
    TKGraphicControl* done = object.release();
    if (offset_)
        done->SetBounds(done->Left() + 15, done->Top() + 15, done->Width(), done->Height());
    return done;
}

QList<TKGraphicControl*> TKLabelObjectFiler::ReadList(LayoutReader& r, TKBasePanel& panel) {
    QList<TKGraphicControl*> read;
    auto finish = [&] {
        for (TKGraphicControl* o : read)
            o->Loaded();
        panel.AdoptLoadedObjects(read);
    };
    try {
        r.ReadListBegin();
        while (!r.EndOfList())
            read << ReadRecord(r, panel);
        r.ReadByte();
    } catch (...) {
        finish();
        throw;
    }
    finish();
    return read;
}

QList<TKGraphicControl*> TKLabelObjectFiler::ReadBytes(const QByteArray& bytes,
                                                       TKBasePanel& panel) {
    LayoutReader r(bytes);
    return ReadList(r, panel);
}

// ---- files -----------------------------------------------------------------------------------

void TKLabelObjectFiler::WriteFile(const QString& path, const LayoutWriter& w) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw StreamError(
            QStringLiteral("Cannot create file \"%1\". %2").arg(path, f.errorString()));
    const_cast<LayoutWriter&>(w).Flush(f);
    if (!f.flush())
        throw StreamError(f.errorString());
}

bool TKLabelObjectFiler::ReadFile(const QString& path, QByteArray& out) {
    if (!QFileInfo(path).isFile())
        return false;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw StreamError(QStringLiteral("Cannot open file \"%1\". %2").arg(path, f.errorString()));
    out = f.readAll();
    return true;
}

void TKLabelObjectFiler::SavePanel(const TKBasePanel& panel, const QString& path) {
    LayoutWriter w;
    WriteList(w, panel.Objects());
    WriteFile(path, w);
}

QList<TKGraphicControl*> TKLabelObjectFiler::LoadPanel(TKBasePanel& panel, const QString& path) {
    QByteArray bytes;
    if (!ReadFile(path, bytes))
        return {};
    return ReadBytes(bytes, panel);
}

void TKLabelObjectFiler::SaveSelection(const QList<TKGraphicControl*>& selection,
                                       const QString& path) {
    if (selection.isEmpty())
        return;
    LayoutWriter w;
    WriteList(w, selection);
    WriteFile(path, w);
}

void TKLabelObjectFiler::SaveObject(const TKGraphicControl& object, const QString& path) {
    LayoutWriter w;
    WriteList(w, {const_cast<TKGraphicControl*>(&object)});
    WriteFile(path, w);
}

QList<TKGraphicControl*> TKLabelObjectFiler::Paste(TKBasePanel& panel, const QString& path) {
    const bool was = offset_;
    offset_ = true;
    QList<TKGraphicControl*> read;
    try {
        read = LoadPanel(panel, path);
    } catch (...) {
        offset_ = was;
        throw;
    }
    offset_ = was;
    return read;
}

TKGraphicControl* TKLabelObjectFiler::Clone(const TKGraphicControl& object, TKBasePanel& panel) {
    LayoutWriter w;
    WriteList(w, {const_cast<TKGraphicControl*>(&object)});
    TKLabelObjectFiler filer;
    const QList<TKGraphicControl*> read = filer.ReadBytes(w.Data(), panel);
    return read.isEmpty() ? nullptr : read.first();
}

void TKLabelObjectFiler::SaveSections(const TKBasePanel& p1, const TKBasePanel& p2,
                                      const TKBasePanel& p3, const ExtraWriter& extra,
                                      const QString& path) {
    LayoutWriter w;
    WriteList(w, p1.Objects());
    WriteList(w, p2.Objects());
    WriteList(w, p3.Objects());
    w.WriteListBegin();
    if (extra)
        extra(w);
    w.WriteListEnd();
    WriteFile(path, w);
}

void TKLabelObjectFiler::LoadSections(const std::array<TKBasePanel*, 3>& panels,
                                      const ExtraReader& extra, const QString& path) {
    QByteArray bytes;
    if (!ReadFile(path, bytes))
        return;
    LayoutReader r(bytes);
    for (TKBasePanel* panel : panels)
        ReadList(r, *panel);
    r.ReadListBegin();
    if (extra)
        extra(r);
    r.ReadListEnd();
}

} // namespace qb
