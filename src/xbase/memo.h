// Memo files: the FoxPro FPT (read and write) and the dBASE III and IV DBT
// (read).
// A memo is addressed by its first block number; 0 means "no memo".
#pragma once

#include "xbase/os_file.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace xbase {

class MemoFile {
public:
    // Dbt: dBASE III, 512-byte blocks, text up to a 0x1A mark. Dbt4: dBASE IV,
    // block size in the header, each memo led by FF FF 08 00 and its length.
    enum class Kind { Fpt, Dbt, Dbt4 };

    static constexpr uint32_t kDefaultBlockSize = 64;

    // Create an empty FPT file (512-byte header, block size 64, next free 8).
    static void createFpt(const std::string& path, bool replace = false);

    void open(const std::string& path, Kind kind, bool readOnly);
    void close() { file_.close(); }
    void sync() { file_.sync(); }
    bool isOpen() const { return file_.isOpen(); }
    const std::string& path() const { return file_.path(); }
    Kind kind() const { return kind_; }
    uint32_t blockSize() const { return blockSize_; }
    uint32_t nextFree() const { return nextFree_; }

    // The memo starting at `block`. Throws Corrupt when the block lies past
    // the end of the file or its length runs past it.
    std::string read(uint32_t block) const;
    // Blocks the memo at `block` occupies (0 when unreadable).
    uint32_t blocksUsed(uint32_t block) const;
    // Store `text` for a field that held `oldBlock` (0 = none): in place when
    // it fits in the old blocks, otherwise at the end. Returns the block.
    uint32_t write(uint32_t oldBlock, std::string_view text);
    // Append a memo at the end regardless of any old one (used by pack).
    uint32_t append(std::string_view text);
    // Empty the file to its header (zap).
    void reset();
    // While batched (pack), appends leave the header's next-free pointer to
    // endBatch(), which writes it once.
    void beginBatch() { batch_ = true; }
    void endBatch() {
        batch_ = false;
        writeHeader();
    }

private:
    uint32_t blocksFor(size_t length) const;
    void writeHeader();

    OsFile file_;
    Kind kind_ = Kind::Fpt;
    uint32_t blockSize_ = kDefaultBlockSize;
    uint32_t nextFree_ = 8;
    uint32_t firstBlock_ = 8;
    bool readOnly_ = true;
    bool batch_ = false;
};

} // namespace xbase
