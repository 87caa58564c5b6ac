#include "storage/dataset.h"

#include "xbase/error.h"
#include "xbase/table.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <stdexcept>

namespace qb {

namespace {

struct FieldConfig {
    QString label;
    int width = 0;
    bool visible = true;
};

QString upper(const QString& s) {
    return s.toUpper();
}

bool isNumericType(char t) {
    return t == 'N' || t == 'F' || t == 'I' || t == 'B' || t == 'Y';
}

QVariant emptyValue(const DatasetField& f) {
    if (f.type == 'L')
        return false;
    if (isNumericType(f.type))
        return 0.0;
    return QString();
}

QString rtrim(QString s) {
    qsizetype n = s.size();
    while (n > 0 && s.at(n - 1) == QLatin1Char(' '))
        --n;
    s.truncate(n);
    return s;
}

bool truthy(const QVariant& v) {
    if (v.typeId() == QMetaType::Bool)
        return v.toBool();
    if (v.typeId() == QMetaType::QString) {
        const QString s = v.toString().trimmed().toUpper();
        return s == QLatin1String("T") || s == QLatin1String("Y") || s == QLatin1String(".T.") ||
               s == QLatin1String("TRUE") || s == QLatin1String("YES");
    }
    return v.toBool();
}

} // namespace

struct TableDataset::Impl {
    TableDataset* q = nullptr;

    // where and how
    QString dir;
    QString fileName;
    bool exclusive = true;
    bool readOnly = false;
    bool showDeleted = false;
    bool openIndex = true;
    QString initialOrder;

    // configuration kept across open/close
    QHash<QString, FieldConfig> config; // by upper name
    std::vector<DatasetField> calcDefs;
    QStringList fieldOrder;
    std::function<void(TableDataset&)> calcHandler;

    // open table
    std::unique_ptr<xbase::Table> table;
    std::vector<DatasetField> fields;
    QHash<QString, int> fieldIndex; // upper name -> position in fields
    QString error;

    State state = State::Inactive;
    bool bof = true;
    bool eof = true;
    bool onRecord = false; // the engine stands on a visible record

    QHash<QString, QVariant> buffer;   // edit buffer: stored fields by upper name
    QHash<QString, QVariant> original; // the record as it was when the edit began
    QHash<QString, QVariant> calcValues;
    uint32_t insertFrom = 0; // record to return to when an insert is cancelled
    bool insertFromEof = false;

    // reading another record for readRecord(): values come from the engine
    bool readingOther = false;
    QHash<QString, QVariant>* calcTarget = nullptr;

    // display suspension
    int disabled = 0;
    bool pendingScroll = false;
    bool pendingData = false;
    State announced = State::Inactive;

    // ---- helpers -----------------------------------------------------------
    void setError(const QString& text) { error = text; }
    void setError(const std::exception& e) { error = FromDisk(e.what()); }

    const DatasetField* find(const QString& name) const {
        auto it = fieldIndex.constFind(upper(name));
        if (it == fieldIndex.constEnd())
            return nullptr;
        return &fields[static_cast<size_t>(*it)];
    }
    const DatasetField& need(const QString& name) const {
        const DatasetField* f = find(name);
        if (!f)
            throw std::out_of_range("Field '" + name.toStdString() + "' not found");
        return *f;
    }

    QVariant readEngine(const DatasetField& f) const {
        if (!table || !onRecord)
            return emptyValue(f);
        const int i = f.tableIndex;
        switch (f.type) {
        case 'L':
            return table->getLogical(i);
        case 'N':
        case 'F':
        case 'I':
        case 'B':
        case 'Y':
            return table->getNumber(i);
        case 'M':
            return FromDisk(table->getMemo(i));
        default:
            return FromDisk(table->getString(i));
        }
    }

    QVariant normalize(const DatasetField& f, const QVariant& v) const {
        if (f.type == 'L')
            return truthy(v);
        if (isNumericType(f.type)) {
            if (v.typeId() == QMetaType::QString) {
                const QString s = v.toString().trimmed();
                if (s.isEmpty())
                    return 0.0;
                bool ok = false;
                double d = s.toDouble(&ok);
                return ok ? d : 0.0;
            }
            return v.toDouble();
        }
        QString s = v.typeId() == QMetaType::Bool
                        ? (v.toBool() ? QStringLiteral("T") : QStringLiteral("F"))
                        : v.toString();
        if (f.type != 'M' && f.size > 0 && s.size() > f.size)
            s.truncate(f.size);
        if (f.type != 'M')
            s = rtrim(s);
        return s;
    }

    void computeCalc() {
        calcValues.clear();
        for (const auto& f : fields)
            if (f.calculated)
                calcValues.insert(upper(f.name), emptyValue(f));
        if (calcHandler && table)
            calcHandler(*q);
    }

    void notifyState() {
        if (disabled > 0)
            return;
        if (announced != state) {
            announced = state;
            emit q->stateChanged(state);
        }
    }
    void notifyData() {
        if (disabled > 0) {
            pendingData = true;
            return;
        }
        emit q->dataChanged();
    }
    void notifyScroll() {
        if (disabled > 0) {
            pendingScroll = true;
            pendingData = true;
            return;
        }
        emit q->afterScroll();
        emit q->dataChanged();
    }
    void notifyField(const QString& name) {
        if (disabled > 0) {
            pendingData = true;
            return;
        }
        emit q->fieldChanged(name);
        emit q->dataChanged();
    }

    // After an engine move: is there a record here?
    void settle() {
        onRecord = table && !table->eof() && table->recCount() > 0 && table->recno() >= 1 &&
                   table->recno() <= table->recCount();
        if (!onRecord)
            bof = eof = true;
        computeCalc();
    }

    void buildFields() {
        fields.clear();
        fieldIndex.clear();
        std::vector<DatasetField> stored;
        const auto& defs = table->fields();
        for (size_t i = 0; i < defs.size(); ++i) {
            DatasetField f;
            f.name = FromDisk(defs[i].name).toUpper();
            f.type = defs[i].type;
            f.size = defs[i].width;
            f.decimals = defs[i].decimals;
            f.tableIndex = static_cast<int>(i);
            f.displayLabel = f.name;
            auto c = config.constFind(f.name);
            if (c != config.constEnd()) {
                if (!c->label.isEmpty())
                    f.displayLabel = c->label;
                f.displayWidth = c->width;
                f.visible = c->visible;
            }
            stored.push_back(f);
        }
        std::vector<bool> usedStored(stored.size(), false);
        std::vector<bool> usedCalc(calcDefs.size(), false);
        auto add = [&](const DatasetField& f) {
            fieldIndex.insert(upper(f.name), static_cast<int>(fields.size()));
            fields.push_back(f);
        };
        for (const QString& name : fieldOrder) {
            const QString u = upper(name);
            if (fieldIndex.contains(u))
                continue;
            bool done = false;
            for (size_t i = 0; i < calcDefs.size() && !done; ++i)
                if (!usedCalc[i] && upper(calcDefs[i].name) == u) {
                    usedCalc[i] = true;
                    add(calcDefs[i]);
                    done = true;
                }
            for (size_t i = 0; i < stored.size() && !done; ++i)
                if (!usedStored[i] && stored[i].name == u) {
                    usedStored[i] = true;
                    add(stored[i]);
                    done = true;
                }
        }
        for (size_t i = 0; i < stored.size(); ++i)
            if (!usedStored[i] && !fieldIndex.contains(stored[i].name))
                add(stored[i]);
        for (size_t i = 0; i < calcDefs.size(); ++i)
            if (!usedCalc[i] && !fieldIndex.contains(upper(calcDefs[i].name)))
                add(calcDefs[i]);
    }

    void loadBuffer() {
        buffer.clear();
        for (const auto& f : fields)
            if (!f.calculated)
                buffer.insert(upper(f.name), readEngine(f));
        original = buffer;
    }

    void blankBuffer() {
        buffer.clear();
        for (const auto& f : fields)
            if (!f.calculated)
                buffer.insert(upper(f.name), emptyValue(f));
        original.clear();
    }

    void putValue(const DatasetField& f, const QVariant& v) {
        const int i = f.tableIndex;
        if (f.type == 'L')
            table->putLogical(i, v.toBool());
        else if (isNumericType(f.type))
            table->putNumber(i, v.toDouble());
        else if (f.type == 'M')
            table->putMemo(i, ToDisk(v.toString()));
        else
            table->putString(i, ToDisk(v.toString()));
    }

    // Leaves Edit/Insert without posting.
    void dropEdit() {
        buffer.clear();
        original.clear();
        state = State::Browse;
    }

    // Posts a pending edit before a move; false when that fails.
    bool checkBrowse() {
        if (state == State::Edit || state == State::Insert)
            return q->post();
        return true;
    }

    bool guardOpen() {
        if (!table) {
            setError(QStringLiteral("The table is not open"));
            return false;
        }
        return true;
    }
};

// ---- life cycle ---------------------------------------------------------------

TableDataset::TableDataset(QObject* parent) : QObject(parent), d(std::make_unique<Impl>()) {
    d->q = this;
}

TableDataset::~TableDataset() {
    if (d->table) {
        try {
            d->table->close();
        } catch (...) {
        }
    }
}

void TableDataset::setDirectory(const QString& dir) {
    QString s = QDir::fromNativeSeparators(dir);
    if (!s.isEmpty() && !s.endsWith(QLatin1Char('/')))
        s += QLatin1Char('/');
    d->dir = s;
}
QString TableDataset::directory() const {
    return d->dir;
}
void TableDataset::setFileName(const QString& name) {
    d->fileName = name;
}
QString TableDataset::tableName() const {
    return d->fileName;
}
QString TableDataset::filePath() const {
    return d->dir + d->fileName;
}
void TableDataset::setExclusive(bool on) {
    d->exclusive = on;
}
bool TableDataset::exclusive() const {
    return d->exclusive;
}
void TableDataset::setReadOnly(bool on) {
    d->readOnly = on;
}
bool TableDataset::readOnly() const {
    return d->readOnly;
}
void TableDataset::setInitialOrder(const QString& tagName) {
    d->initialOrder = tagName;
}
void TableDataset::setOpenProductionIndex(bool on) {
    d->openIndex = on;
}

bool TableDataset::open() {
    close();
    d->error.clear();
    if (d->fileName.isEmpty()) {
        d->setError(QStringLiteral("No table name given"));
        return false;
    }
    xbase::OpenOptions options;
    options.exclusive = d->exclusive;
    options.readOnly = d->readOnly;
    options.openProductionIndex = d->openIndex;
    try {
        auto table = xbase::Table::open(QFile::encodeName(filePath()).toStdString(), options);
        return attach(std::move(table));
    } catch (const std::exception& e) {
        d->setError(e);
        return false;
    }
}

bool TableDataset::attach(std::unique_ptr<xbase::Table> table) {
    close();
    d->error.clear();
    if (!table) {
        d->setError(QStringLiteral("No table"));
        return false;
    }
    d->table = std::move(table);
    try {
        d->table->setDeleted(!d->showDeleted);
        d->table->setExact(false);
        d->buildFields();
        if (!d->initialOrder.isEmpty() && d->table->tagOrder(ToDisk(d->initialOrder)) > 0)
            d->table->setOrder(std::string_view(ToDisk(d->initialOrder)));
        d->table->goTop();
    } catch (const std::exception& e) {
        d->setError(e);
        try {
            d->table->close();
        } catch (...) {
        }
        d->table.reset();
        d->fields.clear();
        d->fieldIndex.clear();
        return false;
    }
    d->state = State::Browse;
    d->bof = true;
    d->eof = false;
    d->settle();
    emit afterOpen();
    d->notifyState();
    d->notifyScroll();
    return true;
}

void TableDataset::close() {
    if (!d->table)
        return;
    if (isEditing())
        cancel();
    try {
        d->table->close();
    } catch (const std::exception& e) {
        d->setError(e);
    }
    d->table.reset();
    d->fields.clear();
    d->fieldIndex.clear();
    d->calcValues.clear();
    d->buffer.clear();
    d->original.clear();
    d->state = State::Inactive;
    d->onRecord = false;
    d->bof = d->eof = true;
    emit afterClose();
    d->notifyState();
    d->notifyScroll();
}

bool TableDataset::isOpen() const {
    return d->table != nullptr;
}
QString TableDataset::errorText() const {
    return d->error;
}
xbase::Table* TableDataset::engine() const {
    return d->table.get();
}

void TableDataset::resync() {
    if (!d->table)
        return;
    d->bof = d->eof = false;
    d->settle();
    d->notifyScroll();
}

// ---- fields -------------------------------------------------------------------------

void TableDataset::defineField(const QString& name, const QString& displayLabel, int displayWidth,
                               bool visible) {
    d->config.insert(upper(name), FieldConfig{displayLabel, displayWidth, visible});
    auto it = d->fieldIndex.constFind(upper(name));
    if (it != d->fieldIndex.constEnd()) {
        auto& f = d->fields[static_cast<size_t>(*it)];
        if (!f.calculated) {
            f.displayLabel = displayLabel.isEmpty() ? f.name : displayLabel;
            f.displayWidth = displayWidth;
            f.visible = visible;
        }
    }
}

void TableDataset::addCalculatedField(const QString& name, char type, int size,
                                      const QString& displayLabel, bool visible) {
    DatasetField f;
    f.name = name;
    f.type = type == 'L' ? 'L' : 'C';
    f.size = f.type == 'L' ? 1 : size;
    f.displayLabel = displayLabel.isEmpty() ? name : displayLabel;
    f.displayWidth = 0;
    f.visible = visible;
    f.calculated = true;
    for (auto& c : d->calcDefs)
        if (upper(c.name) == upper(name)) {
            c = f;
            return;
        }
    d->calcDefs.push_back(f);
}

void TableDataset::setCalcHandler(std::function<void(TableDataset&)> handler) {
    d->calcHandler = std::move(handler);
    if (d->table)
        d->computeCalc();
}

void TableDataset::setFieldOrder(const QStringList& names) {
    d->fieldOrder = names;
}

QStringList TableDataset::fieldNames() const {
    QStringList out;
    for (const auto& f : d->fields)
        out << f.name;
    return out;
}
int TableDataset::fieldCount() const {
    return static_cast<int>(d->fields.size());
}
const DatasetField& TableDataset::fieldAt(int i) const {
    return d->fields.at(static_cast<size_t>(i));
}
bool TableDataset::hasField(const QString& name) const {
    return d->find(name) != nullptr;
}
const DatasetField& TableDataset::field(const QString& name) const {
    return d->need(name);
}

void TableDataset::setFieldVisible(const QString& name, bool visible) {
    const QString u = upper(name);
    for (auto& c : d->calcDefs)
        if (upper(c.name) == u)
            c.visible = visible;
    auto cfg = d->config.find(u);
    if (cfg != d->config.end())
        cfg->visible = visible;
    auto it = d->fieldIndex.constFind(u);
    if (it != d->fieldIndex.constEnd()) {
        auto& f = d->fields[static_cast<size_t>(*it)];
        if (f.visible != visible) {
            f.visible = visible;
            if (!f.calculated && cfg == d->config.end())
                d->config.insert(u, FieldConfig{f.displayLabel, f.displayWidth, visible});
        }
    } else if (cfg == d->config.end()) {
        bool isCalc = false;
        for (const auto& c : d->calcDefs)
            isCalc = isCalc || upper(c.name) == u;
        if (!isCalc)
            d->config.insert(u, FieldConfig{QString(), 0, visible});
    }
}

bool TableDataset::isFieldVisible(const QString& name) const {
    if (const DatasetField* f = d->find(name))
        return f->visible;
    const QString u = upper(name);
    for (const auto& c : d->calcDefs)
        if (upper(c.name) == u)
            return c.visible;
    auto cfg = d->config.constFind(u);
    return cfg == d->config.constEnd() || cfg->visible;
}

// ---- values ---------------------------------------------------------------------------

QVariant TableDataset::value(const QString& name) const {
    const DatasetField& f = d->need(name);
    const QString u = upper(f.name);
    if (f.calculated) {
        const auto& src = d->calcTarget ? *d->calcTarget : d->calcValues;
        return src.value(u, emptyValue(f));
    }
    if (!d->readingOther && (d->state == State::Edit || d->state == State::Insert))
        return d->buffer.value(u, emptyValue(f));
    return d->readEngine(f);
}

QString TableDataset::asString(const QString& name) const {
    const DatasetField& f = d->need(name);
    const QVariant v = value(name);
    if (f.type == 'L') {
        if (!f.calculated && !d->readingOther && !isEditing() && d->table && d->onRecord)
            return FromDisk(d->table->getString(f.tableIndex));
        return v.toBool() ? QStringLiteral("T") : QStringLiteral("F");
    }
    if (isNumericType(f.type) && !f.calculated) {
        if (!isEditing() || d->readingOther) {
            if (d->table && d->onRecord)
                return FromDisk(d->table->getString(f.tableIndex)).trimmed();
            return QString();
        }
        return QString::number(v.toDouble(), 'f', f.decimals);
    }
    return v.toString();
}

bool TableDataset::asBool(const QString& name) const {
    return value(name).toBool();
}
double TableDataset::asNumber(const QString& name) const {
    const QVariant v = value(name);
    return v.typeId() == QMetaType::QString ? v.toString().trimmed().toDouble() : v.toDouble();
}
QString TableDataset::memo(const QString& name) const {
    return value(name).toString();
}

bool TableDataset::setValue(const QString& name, const QVariant& value) {
    const DatasetField& f = d->need(name);
    if (f.calculated) {
        d->setError(QStringLiteral("Field '%1' is calculated").arg(f.name));
        return false;
    }
    if (d->state == State::Browse && !edit())
        return false;
    if (d->state == State::Inactive) {
        d->setError(QStringLiteral("The table is not open"));
        return false;
    }
    const QString u = upper(f.name);
    const QVariant v = d->normalize(f, value);
    if (d->buffer.value(u) == v)
        return true;
    d->buffer.insert(u, v);
    d->computeCalc();
    d->notifyField(f.name);
    return true;
}

void TableDataset::setCalcValue(const QString& name, const QVariant& value) {
    const DatasetField* f = d->find(name);
    if (!f || !f->calculated)
        return;
    QVariant v = value;
    if (f->type == 'L') {
        v = value.toBool();
    } else {
        QString s = value.toString();
        if (f->size > 0 && s.size() > f->size)
            s.truncate(f->size);
        v = s;
    }
    auto& target = d->calcTarget ? *d->calcTarget : d->calcValues;
    target.insert(upper(f->name), v);
}

// ---- editing -------------------------------------------------------------------------

TableDataset::State TableDataset::state() const {
    return d->state;
}
bool TableDataset::isEditing() const {
    return d->state == State::Edit || d->state == State::Insert;
}
bool TableDataset::hasRecord() const {
    return d->table && d->onRecord && (d->state == State::Browse || d->state == State::Edit);
}

bool TableDataset::edit() {
    if (d->state == State::Edit || d->state == State::Insert)
        return true;
    if (!d->guardOpen())
        return false;
    if (!d->onRecord) {
        d->setError(QStringLiteral("No record to edit"));
        return false;
    }
    if (d->readOnly || d->table->readOnly()) {
        d->setError(QStringLiteral("The table %1 is read-only").arg(filePath()));
        return false;
    }
    try {
        d->loadBuffer();
    } catch (const std::exception& e) {
        d->setError(e);
        d->buffer.clear();
        d->original.clear();
        return false;
    }
    d->state = State::Edit;
    emit afterEdit();
    d->notifyState();
    d->notifyData();
    return true;
}

bool TableDataset::insert() {
    if (!d->guardOpen())
        return false;
    if (d->state == State::Insert)
        return true;
    if (!d->checkBrowse())
        return false;
    if (d->readOnly || d->table->readOnly()) {
        d->setError(QStringLiteral("The table %1 is read-only").arg(filePath()));
        return false;
    }
    d->insertFrom = d->onRecord ? d->table->recno() : 0;
    d->insertFromEof = d->eof;
    d->blankBuffer();
    d->state = State::Insert;
    d->computeCalc();
    emit afterInsert();
    d->notifyState();
    d->notifyData();
    return true;
}

bool TableDataset::post() {
    if (d->state != State::Edit && d->state != State::Insert)
        return true;
    if (!d->guardOpen())
        return false;
    xbase::Table& t = *d->table;
    if (d->state == State::Edit) {
        // Only changed fields are written; on failure they are put back so a
        // later implicit commit of the engine's record cannot store them.
        std::vector<const DatasetField*> changed;
        for (const auto& f : d->fields)
            if (!f.calculated && d->buffer.value(upper(f.name)) != d->original.value(upper(f.name)))
                changed.push_back(&f);
        try {
            for (const DatasetField* f : changed)
                d->putValue(*f, d->buffer.value(upper(f->name)));
            t.commit();
        } catch (const std::exception& e) {
            d->setError(e);
            for (const DatasetField* f : changed) {
                try {
                    d->putValue(*f, d->original.value(upper(f->name)));
                } catch (...) {
                }
            }
            return false;
        }
    } else {
        const uint32_t before = t.recCount();
        try {
            t.appendBlank();
            for (const auto& f : d->fields) {
                if (f.calculated)
                    continue;
                const QVariant v = d->buffer.value(upper(f.name));
                if (v != emptyValue(f))
                    d->putValue(f, v);
            }
            t.commit();
        } catch (const std::exception& e) {
            d->setError(e);
            // A half-written new record must not stay visible: mark it so the
            // next pack removes it, and keep the insert going from the buffer.
            try {
                if (t.recCount() > before) {
                    t.go(t.recCount());
                    t.deleteRecord();
                    t.commit();
                }
            } catch (...) {
            }
            return false;
        }
    }
    d->dropEdit();
    d->bof = d->eof = false;
    d->settle();
    emit afterPost();
    d->notifyState();
    d->notifyScroll();
    return true;
}

void TableDataset::cancel() {
    if (d->state != State::Edit && d->state != State::Insert)
        return;
    const bool wasInsert = d->state == State::Insert;
    d->dropEdit();
    if (wasInsert && d->table) {
        try {
            if (d->insertFrom > 0)
                d->table->go(d->insertFrom);
        } catch (...) {
        }
        d->bof = false;
        d->eof = d->insertFromEof;
    }
    d->settle();
    emit afterCancel();
    d->notifyState();
    d->notifyScroll();
}

bool TableDataset::deleteRecord() {
    if (!d->guardOpen())
        return false;
    if (d->state == State::Insert) {
        cancel();
        return true;
    }
    if (!d->checkBrowse())
        return false;
    if (!d->onRecord) {
        d->setError(QStringLiteral("No record to delete"));
        return false;
    }
    try {
        d->table->deleteRecord();
        d->table->commit();
        if (d->table->deletedHidden()) {
            d->table->skip(1);
            d->bof = false;
            d->eof = false;
            if (d->table->eof()) {
                d->table->goBottom();
                d->eof = true;
            }
        }
    } catch (const std::exception& e) {
        d->setError(e);
        d->settle();
        return false;
    }
    d->settle();
    emit afterDelete();
    d->notifyScroll();
    return true;
}

// ---- navigation --------------------------------------------------------------------

bool TableDataset::first() {
    if (!d->guardOpen() || !d->checkBrowse())
        return false;
    try {
        d->table->goTop();
    } catch (const std::exception& e) {
        d->setError(e);
        return false;
    }
    d->bof = true;
    d->eof = false;
    d->settle();
    d->notifyScroll();
    return true;
}

bool TableDataset::last() {
    if (!d->guardOpen() || !d->checkBrowse())
        return false;
    try {
        d->table->goBottom();
    } catch (const std::exception& e) {
        d->setError(e);
        return false;
    }
    d->bof = false;
    d->eof = true;
    d->settle();
    d->notifyScroll();
    return true;
}

bool TableDataset::moveBy(long n) {
    if (!d->guardOpen() || !d->checkBrowse())
        return false;
    if (n == 0) {
        resync();
        return true;
    }
    if (!d->onRecord) {
        // Nothing to move from: stay at the ends of an empty view.
        d->settle();
        d->notifyScroll();
        return true;
    }
    try {
        xbase::Table& t = *d->table;
        t.skip(n);
        d->bof = d->eof = false;
        if (n > 0 && t.eof()) {
            t.goBottom();
            d->eof = true;
        } else if (n < 0 && (t.bof() || t.eof())) {
            t.goTop();
            d->bof = true;
        }
    } catch (const std::exception& e) {
        d->setError(e);
        return false;
    }
    d->settle();
    d->notifyScroll();
    return true;
}

bool TableDataset::next() {
    return moveBy(1);
}
bool TableDataset::prior() {
    return moveBy(-1);
}

bool TableDataset::gotoRecno(uint32_t recno) {
    if (!d->guardOpen() || !d->checkBrowse())
        return false;
    if (recno < 1 || recno > d->table->recCount()) {
        d->setError(QStringLiteral("Record %1 does not exist").arg(recno));
        return false;
    }
    try {
        d->table->go(recno);
    } catch (const std::exception& e) {
        d->setError(e);
        return false;
    }
    d->bof = d->eof = false;
    d->settle();
    d->notifyScroll();
    return true;
}

bool TableDataset::bof() const {
    return d->bof;
}
bool TableDataset::eof() const {
    return d->eof;
}

uint32_t TableDataset::recno() const {
    if (!d->table || d->state == State::Insert || !d->onRecord)
        return 0;
    return d->table->recno();
}

uint32_t TableDataset::recordCount() {
    if (!d->table)
        return 0;
    // While inserting, the engine still stands where the insert began.
    const uint32_t here = d->onRecord ? d->table->recno() : 0;
    uint32_t n = 0;
    try {
        n = d->table->countVisible();
        if (here > 0 && d->table->recno() != here)
            d->table->go(here);
    } catch (const std::exception& e) {
        d->setError(e);
    }
    return n;
}

uint32_t TableDataset::physicalCount() const {
    return d->table ? d->table->recCount() : 0;
}

bool TableDataset::isEmpty() {
    if (!d->table)
        return true;
    if (d->onRecord || d->state == State::Insert)
        return false;
    return recordCount() == 0;
}

// ---- order, filter, position -----------------------------------------------------------

QString TableDataset::order() const {
    return d->table ? FromDisk(d->table->orderName()) : QString();
}

bool TableDataset::setOrder(const QString& tagName) {
    if (!d->guardOpen() || !d->checkBrowse())
        return false;
    const uint32_t here = d->onRecord ? d->table->recno() : 0;
    try {
        d->table->setOrder(std::string_view(ToDisk(tagName)));
        if (here > 0)
            d->table->go(here);
        else
            d->table->goTop();
    } catch (const std::exception& e) {
        d->setError(e);
        return false;
    }
    d->bof = d->eof = false;
    d->settle();
    d->notifyScroll();
    return true;
}

bool TableDataset::seek(const QString& key) {
    if (!d->guardOpen() || !d->checkBrowse())
        return false;
    xbase::Table& t = *d->table;
    const uint32_t here = d->onRecord ? t.recno() : 0;
    bool found = false;
    try {
        found = t.seek(ToDisk(key));
        if (!found && !t.softSeek()) {
            if (here > 0)
                t.go(here);
            else
                t.goTop();
        } else if (!found && t.eof()) {
            t.goBottom();
        }
    } catch (const std::exception& e) {
        d->setError(e);
        d->settle();
        return false;
    }
    d->bof = d->eof = false;
    d->settle();
    d->notifyScroll();
    return found;
}

QString TableDataset::filterText() const {
    return d->table ? FromDisk(d->table->filter()) : QString();
}

bool TableDataset::setFilter(const QString& expression) {
    if (!d->guardOpen() || !d->checkBrowse())
        return false;
    try {
        d->table->setFilter(ToDisk(expression));
        d->table->goTop();
    } catch (const std::exception& e) {
        d->setError(e);
        return false;
    }
    d->bof = true;
    d->eof = false;
    d->settle();
    d->notifyScroll();
    return true;
}

void TableDataset::setShowDeleted(bool show) {
    d->showDeleted = show;
    if (d->table)
        d->table->setDeleted(!show);
}
bool TableDataset::showDeleted() const {
    return d->showDeleted;
}

TableDataset::Bookmark TableDataset::bookmark() const {
    return recno();
}

bool TableDataset::gotoBookmark(Bookmark mark) {
    return gotoRecno(mark);
}

DatasetState TableDataset::save() const {
    DatasetState s;
    if (!d->table)
        return s;
    s.valid = true;
    s.order = order();
    s.filter = filterText();
    s.recno = recno();
    return s;
}

bool TableDataset::restore(const DatasetState& s) {
    if (!s.valid || !d->table)
        return false;
    if (!d->checkBrowse())
        return false;
    try {
        xbase::Table& t = *d->table;
        if (FromDisk(t.orderName()).compare(s.order, Qt::CaseInsensitive) != 0)
            t.setOrder(std::string_view(ToDisk(s.order)));
        if (FromDisk(t.filter()) != s.filter)
            t.setFilter(ToDisk(s.filter));
        bool placed = false;
        if (s.recno >= 1 && s.recno <= t.recCount()) {
            t.go(s.recno);
            // The record may have been deleted or no longer match the filter.
            placed = !(t.deletedHidden() && t.deleted()) &&
                     (t.filter().empty() || t.evalLogical(t.filter()));
        }
        d->bof = d->eof = false;
        if (!placed) {
            t.goTop();
            d->bof = true;
        }
    } catch (const std::exception& e) {
        d->setError(e);
        d->settle();
        d->notifyScroll();
        return false;
    }
    d->settle();
    d->notifyScroll();
    return true;
}

std::vector<uint32_t> TableDataset::visibleRecnos() {
    std::vector<uint32_t> out;
    if (!d->table)
        return out;
    xbase::Table& t = *d->table;
    const bool was = d->onRecord && d->state != State::Insert;
    const uint32_t here = was ? t.recno() : 0;
    try {
        out.reserve(t.recCount());
        for (t.goTop(); !t.eof(); t.skip(1))
            out.push_back(t.recno());
        if (here > 0)
            t.go(here);
        else if (d->insertFrom > 0 && d->state == State::Insert)
            t.go(d->insertFrom);
    } catch (const std::exception& e) {
        d->setError(e);
    }
    return out;
}

TableDataset::VisibleRun TableDataset::visibleRun(uint32_t from, long offset, size_t count) {
    VisibleRun run;
    if (!d->table)
        return run;
    xbase::Table& t = *d->table;
    const bool was = d->onRecord && d->state != State::Insert;
    const uint32_t here = was ? t.recno() : 0;
    try {
        if (from == RunFromTop)
            t.goTop();
        else if (from == RunFromBottom)
            t.goBottom();
        else
            t.go(from);
        const bool byNumber = from != RunFromTop && from != RunFromBottom;
        if (byNumber && !t.eof()) {
            // A record reached by number may itself be hidden: then start
            // from the first visible record after it. (Asked of the record
            // itself: a step back and forth could walk far through hidden
            // records.)
            const bool shown = !(t.deletedHidden() && t.deleted()) &&
                               (t.filter().empty() || t.evalLogical(t.filter()));
            if (!shown)
                t.skip(1);
        }
        if (offset != 0 && !t.eof())
            t.skip(offset);
        // Known to start at the first visible record: from the top without
        // moving on, or when a step back ran into the beginning.
        run.atTop = !t.eof() && ((from == RunFromTop && offset <= 0) || t.bof());
        run.recnos.reserve(std::min<size_t>(count, t.recCount()));
        while (run.recnos.size() < count && !t.eof()) {
            run.recnos.push_back(t.recno());
            t.skip(1);
        }
        run.atBottom = t.eof();
        if (here > 0)
            t.go(here);
        else if (d->insertFrom > 0 && d->state == State::Insert)
            t.go(d->insertFrom);
    } catch (const std::exception& e) {
        d->setError(e);
    }
    return run;
}

RecordValues TableDataset::readRecord(uint32_t recno) {
    RecordValues r;
    if (!d->table || recno < 1 || recno > d->table->recCount())
        return r;
    xbase::Table& t = *d->table;
    const uint32_t here = (d->onRecord && d->state != State::Insert) ? t.recno() : 0;
    const bool savedOn = d->onRecord;
    QHash<QString, QVariant> calc;
    try {
        t.go(recno);
        d->onRecord = true;
        d->readingOther = true;
        r.recno = recno;
        r.deleted = t.deleted();
        for (const auto& f : d->fields)
            if (!f.calculated)
                r.values.insert(upper(f.name), d->readEngine(f));
        for (const auto& f : d->fields)
            if (f.calculated)
                calc.insert(upper(f.name), emptyValue(f));
        d->calcTarget = &calc;
        if (d->calcHandler)
            d->calcHandler(*this);
        for (auto it = calc.constBegin(); it != calc.constEnd(); ++it)
            r.values.insert(it.key(), it.value());
    } catch (const std::exception& e) {
        d->setError(e);
    }
    d->calcTarget = nullptr;
    d->readingOther = false;
    d->onRecord = savedOn;
    try {
        if (here > 0)
            t.go(here);
        else if (d->state == State::Insert && d->insertFrom > 0)
            t.go(d->insertFrom);
    } catch (const std::exception& e) {
        d->setError(e);
    }
    return r;
}

// ---- display suspension ------------------------------------------------------------

void TableDataset::disableControls() {
    ++d->disabled;
}

void TableDataset::enableControls() {
    if (d->disabled == 0)
        return;
    if (--d->disabled > 0)
        return;
    const bool scroll = d->pendingScroll;
    d->pendingScroll = d->pendingData = false;
    d->notifyState();
    if (scroll)
        emit afterScroll();
    emit dataChanged();
}

bool TableDataset::controlsDisabled() const {
    return d->disabled > 0;
}

} // namespace qb
