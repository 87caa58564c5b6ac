// Hostile layout files: thousands of mutated and truncated versions of valid
// streams must each either read or stop with one of the reader's errors.
#include "labelobjects/objectfiler.h"
#include "stream_support.h"

#include <gtest/gtest.h>

#include <random>

using namespace qb;

namespace {

bool IsReaderError(const QString& m) {
    return m == QLatin1String(kInvalidStreamFormat) || m == QLatin1String(kPropertyDoesNotExist) ||
           m == QLatin1String(kInvalidPropertyValue) ||
           (m.startsWith(QLatin1String("Class ")) && m.endsWith(QLatin1String(" not found")));
}

QByteArray Mutate(const QByteArray& in, std::mt19937& rng) {
    QByteArray b = in;
    auto pick = [&](qsizetype n) { return qsizetype(rng() % uint32_t(std::max<qsizetype>(1, n))); };
    const int edits = 1 + int(rng() % 4);
    for (int e = 0; e < edits && !b.isEmpty(); ++e) {
        switch (rng() % 7) {
        case 0: // flip a byte
            b[pick(b.size())] = char(rng());
            break;
        case 1: // truncate
            b.truncate(pick(b.size()));
            break;
        case 2: // insert random bytes
            b.insert(pick(b.size()), QByteArray(1 + pick(8), char(rng())));
            break;
        case 3: // delete a range
            b.remove(pick(b.size()), 1 + pick(16));
            break;
        case 4: { // an absurd 4-byte length after a long string or byte block type
            const qsizetype at = pick(b.size());
            b.insert(at, QByteArray::fromHex(rng() % 2 ? "0affffff7f" : "0cfeffffff"));
            break;
        }
        case 5: // a value type byte anywhere
            b[pick(b.size())] = char(rng() % 16);
            break;
        case 6: { // duplicate a slice (nesting, repeated records)
            const qsizetype at = pick(b.size());
            b.insert(pick(b.size()), b.mid(at, 1 + pick(64)));
            break;
        }
        }
    }
    return b;
}

} // namespace

TEST(HostileInput, MutatedStreamsReadOrFailWithAReaderError) {
    TKLabelPanel::MakeClassesKnown();
    QWidget form;
    QByteArray seed;
    {
        TKLabelPanel source(&form);
        qbtest::FillPanel(source);
        seed = TKLabelObjectFiler::PanelBytes(source);
    }
    std::mt19937 rng(20261210);
    int read = 0, failed = 0;
    for (int i = 0; i < 4000; ++i) {
        const QByteArray bytes = Mutate(seed, rng);
        QWidget owner;
        TKLabelPanel panel(&owner);
        try {
            TKLabelObjectFiler().ReadBytes(bytes, panel);
            ++read;
        } catch (const StreamError& e) {
            ASSERT_TRUE(IsReaderError(e.Message()))
                << "case " << i << ": " << e.Message().toStdString() << " for "
                << bytes.toHex().constData();
            ++failed;
        }
    }
    // Both outcomes occur, so the mutations reach past the first checks.
    EXPECT_GT(read, 0);
    EXPECT_GT(failed, 0);
}

TEST(HostileInput, EveryTruncationFails) {
    TKLabelPanel::MakeClassesKnown();
    QWidget form;
    TKLabelPanel source(&form);
    qbtest::FillPanel(source);
    const QByteArray seed = TKLabelObjectFiler::PanelBytes(source);
    for (qsizetype n = 0; n < seed.size(); ++n) {
        QWidget owner;
        TKLabelPanel panel(&owner);
        try {
            TKLabelObjectFiler().ReadBytes(seed.left(n), panel);
            FAIL() << "a stream cut after " << n << " bytes was read";
        } catch (const StreamError& e) {
            ASSERT_TRUE(IsReaderError(e.Message())) << n << ": " << e.Message().toStdString();
        }
    }
}

TEST(HostileInput, DeepListsInSkippedValuesStop) {
    // A thousand nested list starts where a value is skipped.
    LayoutReader r(QByteArray(1000, '\x01') + QByteArray(1000, '\x00'));
    try {
        r.SkipValue();
        FAIL() << "deep nesting was accepted";
    } catch (const StreamError& e) {
        EXPECT_EQ(e.Message(), kInvalidStreamFormat);
    }
}
