// TKLabelObjectFiler writes and reads label objects as component records
// ("TPF0", class name, name, stored properties by name) in object lists
// (01 ... 00). It serves layout files, the designers' clipboard file, object
// clones and the report file with its several lists.
#pragma once

#include "labelobjects/layoutstream.h"
#include "labelobjects/properties.h"

#include <QList>
#include <QPointer>

#include <array>
#include <functional>

namespace qb {

class TKBasePanel;
class TKGraphicControl;

class TKLabelObjectFiler {
public:
    // owner: where read objects get their unique names (null: the panel's
    // owner); offset: pasted objects move 15 pixels right and 15 down.
    explicit TKLabelObjectFiler(QObject* owner = nullptr, bool offset = false)
        : owner_(owner), offset_(offset) {}

    QObject* Owner() const { return owner_; }
    bool Offset() const { return offset_; }
    void SetOffset(bool on) { offset_ = on; }

    // ---- writing ---------------------------------------------------------------
    static void WriteRecord(LayoutWriter& w, const TKGraphicControl& object);
    static void WriteList(LayoutWriter& w, const QList<TKGraphicControl*>& objects);
    static void WriteProperties(LayoutWriter& w, const Persistent* object,
                                const std::vector<const PropertyDef*>& props,
                                const QString& prefix);
    // The list of a panel's objects (child order, selection holder excluded).
    static QByteArray PanelBytes(const TKBasePanel& panel);

    // ---- reading -----------------------------------------------------------------
    // Reads one object list into the panel. Objects read before an error stay
    // in the panel (with their after-load step); the error is passed on.
    QList<TKGraphicControl*> ReadList(LayoutReader& r, TKBasePanel& panel);
    QList<TKGraphicControl*> ReadBytes(const QByteArray& bytes, TKBasePanel& panel);
    // Sets one property by its (dotted) name from the stream.
    static void ReadProperty(LayoutReader& r, TKGraphicControl& object, const QString& path);

    // ---- file operations -------------------------------------------------------------
    static void SavePanel(const TKBasePanel& panel, const QString& path);
    // Nothing when the file does not exist.
    QList<TKGraphicControl*> LoadPanel(TKBasePanel& panel, const QString& path);
    // Nothing when the selection is empty.
    static void SaveSelection(const QList<TKGraphicControl*>& selection, const QString& path);
    static void SaveObject(const TKGraphicControl& object, const QString& path);
    // Reads a list with the offset flag set; nothing when the file does not exist.
    QList<TKGraphicControl*> Paste(TKBasePanel& panel, const QString& path);
    // A copy of the object on the panel, through a memory stream.
    static TKGraphicControl* Clone(const TKGraphicControl& object, TKBasePanel& panel);

    // The report file: three object lists, then one list the caller writes.
    using ExtraWriter = std::function<void(LayoutWriter&)>;
    using ExtraReader = std::function<void(LayoutReader&)>;
    static void SaveSections(const TKBasePanel& p1, const TKBasePanel& p2, const TKBasePanel& p3,
                             const ExtraWriter& extra, const QString& path);
    // Nothing when the file does not exist. The extra reader is called after
    // the opening 01 of the fourth list and must stop at its closing 00.
    void LoadSections(const std::array<TKBasePanel*, 3>& panels, const ExtraReader& extra,
                      const QString& path);

private:
    static void WriteFile(const QString& path, const LayoutWriter& w);
    static bool ReadFile(const QString& path, QByteArray& out);
    TKGraphicControl* ReadRecord(LayoutReader& r, TKBasePanel& panel);

    QPointer<QObject> owner_;
    bool offset_ = false;
};

// A layout stream in memory: one object list as bytes, and back onto a panel.
struct LabelLayoutStream {
    static QByteArray FromObjects(const QList<TKGraphicControl*>& objects) {
        LayoutWriter w;
        TKLabelObjectFiler::WriteList(w, objects);
        return w.Data();
    }
    static QList<TKGraphicControl*> ToPanel(const QByteArray& bytes, TKBasePanel& panel,
                                            bool offset = false) {
        TKLabelObjectFiler filer(nullptr, offset);
        return filer.ReadBytes(bytes, panel);
    }
};

} // namespace qb
