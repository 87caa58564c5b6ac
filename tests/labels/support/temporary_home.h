// A test whose program home is a fresh temporary folder with the supplied
// system tables in place; the previous home comes back afterwards. Messages
// are recorded, never shown.
#pragma once

#include "app/messages.h"

#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace qb {

class TemporaryHomeTest : public ::testing::Test {
protected:
    // A derived SetUp calls this through ASSERT_NO_FATAL_FAILURE first.
    void SetUp() override;
    void TearDown() override;

    QTemporaryDir home;
    QString oldHome;
    MessageScript messages;
};

} // namespace qb
