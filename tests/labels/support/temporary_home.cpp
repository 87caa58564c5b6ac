#include "labels/support/temporary_home.h"

#include "storage/settings.h"

namespace qb {

void TemporaryHomeTest::SetUp() {
    ASSERT_TRUE(home.isValid());
    oldHome = ProgramDirectory();
    SetProgramDirectory(home.path());
    EnsureHomeLayout();
}

void TemporaryHomeTest::TearDown() {
    SetProgramDirectory(oldHome);
}

} // namespace qb
