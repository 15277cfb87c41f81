// The diphone database as the build generated it from whatever espeak-ng
// the release has (1.51 names a stressed vowel "a" in its phoneme events,
// 1.52 "'a"): every unit of the phoneme set is there, cut in order, with
// halves as long as speech has them, at a voice's pitch. Not the bytes:
// they change with espeak-ng.
#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "database.hpp"

namespace {

std::vector<std::string> phonemeSet() {
    std::ifstream in(QUORIL_SOURCE_DIR "/data/tireltts/phonemes");
    std::vector<std::string> names;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == ';') continue;
        names.push_back(line.substr(0, line.find_first_of(" \t\r")));
    }
    return names;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

TEST(GeneratedDatabase, EveryUnitIsThereCutInOrderWithSaneDurations) {
    std::vector<std::uint8_t> image;
    std::string error;
    mbr::Database db;
    ASSERT_TRUE(mbr::readDatabaseFile(QUORIL_BUILD_DIR "/share/quoril/tireltts/br4", image, error)) << error;
    ASSERT_TRUE(mbr::parseDatabase(image.data(), image.size(), db, error)) << error;

    const std::vector<std::string> set = phonemeSet();
    ASSERT_GT(set.size(), 30u);
    for (const std::string& a : set) {
        ASSERT_GE(db.phoneme(a), 0) << a;
        for (const std::string& b : set)
            EXPECT_GE(db.diphone(db.phoneme(a), db.phoneme(b)), 0) << "no unit " << a << "-" << b;
    }
    // A voice's pitch: 60 to 400 Hz.
    EXPECT_GE(db.period, db.rate / 400) << db.period;
    EXPECT_LE(db.period, db.rate / 60) << db.period;

    // Each half of a unit is part of a phoneme: never empty, never longer
    // than a drawn-out vowel; typical halves are tens of milliseconds. Cut
    // at the wrong events, units hold whole syllables or nothing.
    const double ms = db.rate / 1000.0;
    std::vector<double> lefts, rights;
    for (const mbr::Diphone& d : db.diphones) {
        const std::string unit = db.phonemes[d.left] + "-" + db.phonemes[d.right];
        ASSERT_TRUE(d.cutStart < d.boundary && d.boundary < d.cutEnd && d.cutEnd <= d.count) << unit;
        lefts.push_back((d.boundary - d.cutStart) / ms);
        rights.push_back((d.cutEnd - d.boundary) / ms);
        EXPECT_LT(lefts.back(), 250.0) << unit;
        EXPECT_LT(rights.back(), 250.0) << unit;
    }
    EXPECT_GT(median(lefts), 20.0);
    EXPECT_LT(median(lefts), 120.0);
    EXPECT_GT(median(rights), 20.0);
    EXPECT_LT(median(rights), 120.0);
}
