#include "xbase/memo.h"

#include "xbase/error.h"

#include <cstring>
#include <vector>

namespace xbase {

namespace {
uint32_t be32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}
void putBe32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}
uint32_t le32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
constexpr uint32_t kHeaderSize = 512;
} // namespace

void MemoFile::createFpt(const std::string& path, bool replace) {
    OsFile f;
    f.create(path, replace);
    uint8_t header[kHeaderSize] = {};
    putBe32(header, kHeaderSize / kDefaultBlockSize);
    header[6] = uint8_t(kDefaultBlockSize >> 8);
    header[7] = uint8_t(kDefaultBlockSize);
    f.writeAt(0, header, sizeof header);
}

void MemoFile::open(const std::string& path, Kind kind, bool readOnly) {
    file_.open(path, readOnly);
    kind_ = kind;
    readOnly_ = readOnly;
    uint8_t header[16] = {};
    if (file_.readAt(0, header, sizeof header) < 8)
        throw Error(Error::Code::Corrupt, path + ": memo file header is truncated");
    if (kind == Kind::Fpt) {
        nextFree_ = be32(header);
        blockSize_ = (uint32_t(header[6]) << 8) | header[7];
        // Some writers store the size as one 32-bit value in bytes 4-7.
        if (blockSize_ == 0)
            blockSize_ = be32(header + 4);
        if (blockSize_ == 0 || blockSize_ > (1u << 20))
            throw Error(Error::Code::Corrupt, path + ": memo block size " + std::to_string(blockSize_) + " is invalid");
        firstBlock_ = (kHeaderSize + blockSize_ - 1) / blockSize_;
    } else {
        nextFree_ = le32(header);
        blockSize_ = 512;
        if (kind == Kind::Dbt4) {
            uint8_t size[2] = {};
            if (file_.readAt(20, size, 2) == 2 && (size[0] | size[1] << 8) != 0)
                blockSize_ = uint32_t(size[0] | size[1] << 8);
            if (blockSize_ < 64)
                throw Error(Error::Code::Corrupt, path + ": memo block size " + std::to_string(blockSize_) + " is invalid");
        }
        firstBlock_ = (512 + blockSize_ - 1) / blockSize_;
    }
    uint64_t endBlock = (file_.size() + blockSize_ - 1) / blockSize_;
    if (nextFree_ < firstBlock_ || nextFree_ > endBlock) {
        // The header's next-free pointer is damaged: appending at the end of
        // the file can never overwrite a memo.
        if (!readOnly && kind == Kind::Fpt) {
            nextFree_ = static_cast<uint32_t>(std::max<uint64_t>(endBlock, firstBlock_));
            writeHeader();
        } else {
            nextFree_ = static_cast<uint32_t>(std::max<uint64_t>(endBlock, firstBlock_));
        }
    }
}

uint32_t MemoFile::blocksFor(size_t length) const {
    return static_cast<uint32_t>((8 + length + blockSize_ - 1) / blockSize_);
}

std::string MemoFile::read(uint32_t block) const {
    if (block == 0)
        return {};
    uint64_t fileSize = file_.size();
    uint64_t offset = uint64_t(block) * blockSize_;
    if (block < firstBlock_ || offset >= fileSize)
        throw Error(Error::Code::Corrupt, file_.path() + ": memo block " + std::to_string(block) +
                                              " lies outside the memo file");
    if (kind_ == Kind::Fpt) {
        uint8_t head[8];
        file_.readExact(offset, head, 8);
        uint32_t length = be32(head + 4);
        if (offset + 8 + uint64_t(length) > fileSize)
            throw Error(Error::Code::Corrupt, file_.path() + ": memo at block " + std::to_string(block) +
                                                  " runs past the end of the memo file");
        std::string text(length, '\0');
        file_.readExact(offset + 8, text.data(), length);
        return text;
    }
    if (kind_ == Kind::Dbt4) {
        // dBASE IV: FF FF 08 00, then the length of the memo counting these
        // eight bytes. A block without the mark is read the dBASE III way.
        uint8_t head[8] = {};
        if (file_.readAt(offset, head, 8) == 8 && head[0] == 0xFF && head[1] == 0xFF && head[2] == 0x08 &&
            head[3] == 0x00) {
            uint32_t length = le32(head + 4);
            if (length < 8 || offset + uint64_t(length) > fileSize)
                throw Error(Error::Code::Corrupt, file_.path() + ": memo at block " + std::to_string(block) +
                                                      " runs past the end of the memo file");
            std::string text(length - 8, '\0');
            file_.readExact(offset + 8, text.data(), text.size());
            return text;
        }
    }
    // dBASE III: the text runs to a 0x1A end mark (or the end of the file).
    std::string text;
    std::vector<char> buf(4096);
    uint64_t pos = offset;
    while (pos < fileSize) {
        size_t n = file_.readAt(pos, buf.data(), buf.size());
        if (n == 0)
            break;
        for (size_t i = 0; i < n; ++i) {
            if (buf[i] == 0x1A)
                return text;
            text.push_back(buf[i]);
        }
        pos += n;
    }
    return text;
}

uint32_t MemoFile::blocksUsed(uint32_t block) const {
    if (block == 0 || kind_ != Kind::Fpt)
        return 0;
    uint64_t offset = uint64_t(block) * blockSize_;
    uint8_t head[8];
    if (block < firstBlock_ || file_.readAt(offset, head, 8) != 8)
        return 0;
    return blocksFor(be32(head + 4));
}

void MemoFile::writeHeader() {
    uint8_t header[8] = {};
    putBe32(header, nextFree_);
    header[6] = uint8_t(blockSize_ >> 8);
    header[7] = uint8_t(blockSize_);
    file_.writeAt(0, header, sizeof header);
}

uint32_t MemoFile::append(std::string_view text) {
    if (readOnly_)
        throw Error(Error::Code::State, file_.path() + ": memo file is open read-only");
    if (kind_ != Kind::Fpt)
        throw Error(Error::Code::Unsupported, file_.path() + ": dBASE memo files are read-only here");
    if (text.size() > 0xFFFFFFF0u)
        throw Error(Error::Code::Argument, file_.path() + ": memo too long");
    uint32_t block = nextFree_;
    uint32_t used = blocksFor(text.size());
    std::vector<uint8_t> data(size_t(used) * blockSize_, 0);
    putBe32(data.data(), 1);
    putBe32(data.data() + 4, static_cast<uint32_t>(text.size()));
    std::memcpy(data.data() + 8, text.data(), text.size());
    file_.writeAt(uint64_t(block) * blockSize_, data.data(), data.size());
    nextFree_ = block + used;
    if (!batch_)
        writeHeader();
    return block;
}

uint32_t MemoFile::write(uint32_t oldBlock, std::string_view text) {
    if (readOnly_)
        throw Error(Error::Code::State, file_.path() + ": memo file is open read-only");
    if (kind_ != Kind::Fpt)
        throw Error(Error::Code::Unsupported, file_.path() + ": dBASE memo files are read-only here");
    uint32_t oldUsed = blocksUsed(oldBlock);
    if (oldUsed > 0 && blocksFor(text.size()) <= oldUsed && oldBlock + oldUsed <= nextFree_) {
        std::vector<uint8_t> data(8 + text.size());
        putBe32(data.data(), 1);
        putBe32(data.data() + 4, static_cast<uint32_t>(text.size()));
        std::memcpy(data.data() + 8, text.data(), text.size());
        file_.writeAt(uint64_t(oldBlock) * blockSize_, data.data(), data.size());
        return oldBlock;
    }
    // The old memo was the last one in the file: its blocks can be reused.
    if (oldUsed > 0 && oldBlock + oldUsed == nextFree_)
        nextFree_ = oldBlock;
    return append(text);
}

void MemoFile::reset() {
    nextFree_ = firstBlock_;
    file_.truncate(uint64_t(firstBlock_) * blockSize_);
    writeHeader();
}

} // namespace xbase
