// An engine table that passes every call to a real one, except that writes
// can be made to fail the way a full disk or a lost file would: the call
// throws the engine's I/O error before reaching the real table.
#pragma once

#include "xbase/table.h"

#include <memory>

namespace qbtest {

class FailingTable : public xbase::Table {
public:
    explicit FailingTable(std::unique_ptr<xbase::Table> inner) : t_(std::move(inner)) {}

    bool failCommit = false;
    bool failAppend = false;
    bool failPut = false;
    int commits = 0; // commits that reached the real table

    void close() override { t_->close(); }
    const std::string& path() const override { return t_->path(); }
    xbase::TableVersion version() const override { return t_->version(); }
    uint8_t codePage() const override { return t_->codePage(); }
    bool readOnly() const override { return t_->readOnly(); }
    const std::vector<xbase::FieldDef>& fields() const override { return t_->fields(); }
    int fieldIndex(std::string_view name) const override { return t_->fieldIndex(name); }
    int recordLength() const override { return t_->recordLength(); }
    int headerLength() const override { return t_->headerLength(); }
    std::string getString(int field) const override { return t_->getString(field); }
    double getNumber(int field) const override { return t_->getNumber(field); }
    bool getLogical(int field) const override { return t_->getLogical(field); }
    std::string getMemo(int field) override { return t_->getMemo(field); }
    bool isEmpty(int field) override { return t_->isEmpty(field); }
    const uint8_t* recordBuffer() const override { return t_->recordBuffer(); }
    void putString(int field, std::string_view value) override {
        checkPut();
        t_->putString(field, value);
    }
    void putNumber(int field, double value) override {
        checkPut();
        t_->putNumber(field, value);
    }
    void putLogical(int field, bool value) override {
        checkPut();
        t_->putLogical(field, value);
    }
    void putMemo(int field, std::string_view text) override {
        checkPut();
        t_->putMemo(field, text);
    }
    void commit() override {
        if (failCommit)
            throw xbase::Error(xbase::Error::Code::Io, path() + ": write failed (disk full)");
        ++commits;
        t_->commit();
    }
    uint32_t recCount() const override { return t_->recCount(); }
    uint32_t recno() const override { return t_->recno(); }
    bool eof() const override { return t_->eof(); }
    bool bof() const override { return t_->bof(); }
    void appendBlank() override {
        if (failAppend)
            throw xbase::Error(xbase::Error::Code::Io, path() + ": append failed (disk full)");
        t_->appendBlank();
    }
    void deleteRecord() override { t_->deleteRecord(); }
    void recall() override { t_->recall(); }
    bool deleted() const override { return t_->deleted(); }
    void pack() override { t_->pack(); }
    void zap() override { t_->zap(); }
    void copyStructure(const std::string& path) const override { t_->copyStructure(path); }
    void goTop() override { t_->goTop(); }
    void goBottom() override { t_->goBottom(); }
    void skip(long n) override { t_->skip(n); }
    void go(uint32_t recno) override { t_->go(recno); }
    int tagCount() const override { return t_->tagCount(); }
    xbase::TagInfo tagInfo(int order) const override { return t_->tagInfo(order); }
    int tagOrder(std::string_view name) const override { return t_->tagOrder(name); }
    void setOrder(int order) override { t_->setOrder(order); }
    void setOrder(std::string_view tagName) override { t_->setOrder(tagName); }
    int order() const override { return t_->order(); }
    std::string orderName() const override { return t_->orderName(); }
    std::string indexFileName() const override { return t_->indexFileName(); }
    void closeIndexes() override { t_->closeIndexes(); }
    void deleteIndexFile() override { t_->deleteIndexFile(); }
    void createTag(const std::string& name, const std::string& keyExpr, const std::string& forExpr,
                   bool descending, bool unique) override {
        t_->createTag(name, keyExpr, forExpr, descending, unique);
    }
    void reindex() override { t_->reindex(); }
    bool indexTrustworthy() const override { return t_->indexTrustworthy(); }
    std::string indexProblem() const override { return t_->indexProblem(); }
    void createTempIndex(const std::string& path, const std::string& keyExpr, bool empty) override {
        t_->createTempIndex(path, keyExpr, empty);
    }
    void tempKeyAdd() override { t_->tempKeyAdd(); }
    void closeTempIndex() override { t_->closeTempIndex(); }
    bool seek(std::string_view key) override { return t_->seek(key); }
    bool found() const override { return t_->found(); }
    void setScope(std::optional<std::string> top, std::optional<std::string> bottom) override {
        t_->setScope(std::move(top), std::move(bottom));
    }
    void clearScope() override { t_->clearScope(); }
    void setFilter(const std::string& expr) override { t_->setFilter(expr); }
    const std::string& filter() const override { return t_->filter(); }
    uint32_t countVisible() override { return t_->countVisible(); }
    bool evalLogical(const std::string& expr) override { return t_->evalLogical(expr); }
    void setDeleted(bool hide) override { t_->setDeleted(hide); }
    bool deletedHidden() const override { return t_->deletedHidden(); }
    void setExact(bool on) override { t_->setExact(on); }
    bool exact() const override { return t_->exact(); }
    void setSoftSeek(bool on) override { t_->setSoftSeek(on); }
    bool softSeek() const override { return t_->softSeek(); }
    void setTurboRead(bool on) override { t_->setTurboRead(on); }
    void setProgressHook(xbase::ProgressHook hook) override {
        t_->setProgressHook(std::move(hook));
    }
    std::string currentKey() override { return t_->currentKey(); }
    void check(std::vector<std::string>& faults) override { t_->check(faults); }

private:
    void checkPut() {
        if (failPut)
            throw xbase::Error(xbase::Error::Code::Io, path() + ": memo write failed");
    }
    std::unique_ptr<xbase::Table> t_;
};

} // namespace qbtest
