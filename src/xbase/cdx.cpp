// Compact B+-tree index files (compound CDX and single-order IDX).
#include "xbase/error.h"
#include "xbase/index_tree.h"

namespace xbase {

std::unique_ptr<CompoundIndex> CompoundIndex::open(const std::string& path, bool) {
    throw Error(Error::Code::Unsupported, path + ": compound index files are not available yet");
}
std::unique_ptr<CompoundIndex> CompoundIndex::create(const std::string& path) {
    throw Error(Error::Code::Unsupported, path + ": compound index files are not available yet");
}
std::unique_ptr<IdxFile> IdxFile::open(const std::string& path, bool) {
    throw Error(Error::Code::Unsupported, path + ": index files are not available yet");
}
std::unique_ptr<IdxFile> IdxFile::create(const std::string& path, const TagInfo&) {
    throw Error(Error::Code::Unsupported, path + ": index files are not available yet");
}

} // namespace xbase
