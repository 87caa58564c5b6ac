// Conversion between the program's Unicode text and the tables' Windows-1252
// bytes, and the rebuild dialog's gauge arithmetic.
#include "storage/dataset.h"
#include "storage/reindex.h"

#include <gtest/gtest.h>

using namespace qb;

TEST(CodePage, TypographicCharactersRoundTrip) {
    const struct {
        QString text;
        std::string bytes;
    } cases[] = {
        {QStringLiteral("M\u00fcller"), "M\xfcller"},
        {QStringLiteral("\u20ac 5"), "\x80 5"},
        {QStringLiteral("\u0161\u0160\u017e\u017d"), "\x9a\x8a\x9e\x8e"},
        {QStringLiteral("\u2018q\u2019 \u201cq\u201d \u2013\u2014\u2026"),
         "\x91q\x92 \x93q\x94 \x96\x97\x85"},
        {QStringLiteral("\u0152uvre \u0153 \u0178 \u2122"), "\x8cuvre \x9c \x9f \x99"},
        {QStringLiteral("K\u00f6nigstra\u00dfe"), "K\xf6nigstra\xdf"
                                                  "e"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ToDisk(c.text), c.bytes) << c.text.toStdString();
        EXPECT_EQ(FromDisk(c.bytes), c.text) << c.text.toStdString();
    }
}

TEST(CodePage, CharactersOutsideTheCodePageBecomeOneQuestionMarkEach) {
    EXPECT_EQ(ToDisk(QStringLiteral("a\u4e2db")), "a?b");
    EXPECT_EQ(ToDisk(QStringLiteral("x\U0001F600y")), "x?y"); // a surrogate pair is one character
    EXPECT_EQ(ToDisk(QStringLiteral("\u0100")), "?");
}

TEST(CodePage, EveryByteSurvivesARoundTrip) {
    std::string all;
    for (int b = 1; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    EXPECT_EQ(ToDisk(FromDisk(all)), all);
}

TEST(ReindexGauge, PackPhaseShowsThePercentage) {
    ReindexProgress p;
    p.setPhase(ReindexProgress::Phase::Pack);
    for (int v : {0, 13, 57, 100})
        EXPECT_EQ(p.report(v), v);
    EXPECT_EQ(p.accumulated(), 0);
    EXPECT_EQ(p.lastProgress(), 0);
}

TEST(ReindexGauge, IndexPhaseAccumulatesRisesOver2100) {
    const struct {
        std::vector<int> reports;
        int accumulated;
        int last;
        int gauge;
    } cases[] = {
        {{}, 0, 0, 0},
        {{0}, 0, 0, 0},
        {{10}, 10, 10, 0}, // 0.476 rounds down
        {{11}, 11, 11, 1}, // 0.524 rounds up
        {{21}, 21, 21, 1},
        {{0, 50, 100}, 100, 100, 5},      // 4.76
        {{0, 100, 0, 100}, 200, 100, 10}, // the second tag starts at 0: nothing subtracted
        {{30, 20, 40}, 50, 40, 2},        // a fall is not counted, the next rise only from 20
        {{100, 100, 100}, 100, 100, 5},   // repeats add nothing
    };
    for (const auto& c : cases) {
        ReindexProgress p;
        p.setPhase(ReindexProgress::Phase::Index);
        int gauge = 0;
        for (int r : c.reports)
            gauge = p.report(r);
        EXPECT_EQ(p.accumulated(), c.accumulated);
        EXPECT_EQ(p.lastProgress(), c.last);
        EXPECT_EQ(gauge, c.gauge);
    }
}

TEST(ReindexGauge, TwentySixTagsFillTheGaugeAfterTwentyOne) {
    ReindexProgress p;
    p.setPhase(ReindexProgress::Phase::Index);
    std::vector<int> afterTag;
    for (int tag = 0; tag < 26; ++tag) {
        int g = 0;
        for (int v : {0, 25, 50, 75, 100})
            g = p.report(v);
        afterTag.push_back(g);
    }
    EXPECT_EQ(afterTag[0], 5);
    EXPECT_EQ(afterTag[19], 95);  // 2000 / 2100
    EXPECT_EQ(afterTag[20], 100); // 2100 / 2100
    EXPECT_EQ(afterTag[25], 100); // stops at 100
    EXPECT_EQ(p.accumulated(), 2600);
    p.reset();
    EXPECT_EQ(p.accumulated(), 0);
    EXPECT_EQ(p.lastProgress(), 0);
    EXPECT_EQ(p.phase(), ReindexProgress::Phase::Pack);
}
