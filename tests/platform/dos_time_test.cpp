// DOS date/time <-> time_t: exact values in a fixed zone, daylight saving in a
// zone that has it, refusal of pairs that name no moment, the range clamp that
// the packer warns about, and the round trip of every valid pair that a
// directory entry can carry.
#include <gtest/gtest.h>
#include <stdlib.h>

#include "platform/dos_time.h"

namespace {

constexpr uint16_t date_of(int year, int month, int day) {
  return (uint16_t)(((year - 1980) << 9) | (month << 5) | day);
}
constexpr uint16_t time_of(int hour, int minute, int second) {
  return (uint16_t)((hour << 11) | (minute << 5) | (second / 2));
}

// Runs a test in one time zone, given as a POSIX TZ rule so that no zone
// database is needed.
class DosTime : public ::testing::Test {
 protected:
  void zone(const char* tz) {
    setenv("TZ", tz, 1);
    tzset();
  }
  void SetUp() override {
    const char* old = getenv("TZ");
    had_tz_ = old != nullptr;
    if (had_tz_) old_tz_ = old;
    zone("UTC0");
  }
  void TearDown() override {
    if (had_tz_) setenv("TZ", old_tz_.c_str(), 1);
    else unsetenv("TZ");
    tzset();
  }

 private:
  bool had_tz_ = false;
  std::string old_tz_;
};

TEST_F(DosTime, ExactMomentsInUtc) {
  time_t t = 0;
  ASSERT_TRUE(dos_to_time(DOS_DATE_MIN, 0, &t));
  EXPECT_EQ(t, 315532800);  // 1980-01-01 00:00:00
  ASSERT_TRUE(dos_to_time(date_of(2001, 2, 3), time_of(4, 5, 6), &t));
  EXPECT_EQ(t, 981173106);
  ASSERT_TRUE(dos_to_time(DOS_DATE_MAX, DOS_TIME_MAX, &t));
  EXPECT_EQ(t, 4354819198);  // 2107-12-31 23:59:58
}

TEST_F(DosTime, LocalTimeFollowsDaylightSavingOfThatDate) {
  zone("CET-1CEST,M3.5.0,M10.5.0/3");
  time_t winter = 0, summer = 0;
  ASSERT_TRUE(dos_to_time(date_of(2001, 1, 15), time_of(12, 0, 0), &winter));
  ASSERT_TRUE(dos_to_time(date_of(2001, 7, 15), time_of(12, 0, 0), &summer));
  EXPECT_EQ(winter, 979556400);  // 11:00 UTC
  EXPECT_EQ(summer, 995191200);  // 10:00 UTC
  uint16_t d, tm;
  bool clamped = true;
  time_to_dos(summer, &d, &tm, &clamped);
  EXPECT_EQ(d, date_of(2001, 7, 15));
  EXPECT_EQ(tm, time_of(12, 0, 0));
  EXPECT_FALSE(clamped);
}

TEST_F(DosTime, PairsThatNameNoMomentAreRefused) {
  const time_t untouched = 12345;
  struct {
    uint16_t date, time;
  } bad[] = {
      {0, 0},                                     // the "not set" date
      {date_of(2001, 0, 3), 0},                   // month 0
      {date_of(2001, 13, 3), 0},                  // month 13
      {date_of(2001, 2, 0), 0},                   // day 0
      {date_of(2001, 2, 29), 0},                  // not a leap year
      {date_of(2100, 2, 29), 0},                  // nor is 2100
      {date_of(2001, 4, 31), 0},                  // April has 30
      {date_of(2001, 2, 3), (24 << 11)},          // hour 24
      {date_of(2001, 2, 3), (60 << 5)},           // minute 60
      {date_of(2001, 2, 3), 30},                  // second 60
  };
  for (auto b : bad) {
    time_t t = untouched;
    EXPECT_FALSE(dos_to_time(b.date, b.time, &t)) << b.date << " " << b.time;
    EXPECT_EQ(t, untouched);
  }
  time_t t;
  EXPECT_TRUE(dos_to_time(date_of(1984, 2, 29), time_of(23, 59, 58), &t));
  EXPECT_TRUE(dos_to_time(date_of(2000, 2, 29), 0, &t));
}

TEST_F(DosTime, OutOfRangeMomentsAreClampedAndSaySo) {
  uint16_t d = 0, tm = 0;
  bool clamped = false;
  time_to_dos(315532799, &d, &tm, &clamped);  // one second before 1980
  EXPECT_EQ(d, DOS_DATE_MIN);
  EXPECT_EQ(tm, 0);
  EXPECT_TRUE(clamped);
  time_to_dos(-1, &d, &tm, &clamped);
  EXPECT_EQ(d, DOS_DATE_MIN);
  EXPECT_TRUE(clamped);
  time_to_dos(4354819200, &d, &tm, &clamped);  // 2108-01-01
  EXPECT_EQ(d, DOS_DATE_MAX);
  EXPECT_EQ(tm, DOS_TIME_MAX);
  EXPECT_TRUE(clamped);
  time_to_dos((time_t)1 << 62, &d, &tm, &clamped);  // beyond what localtime can say
  EXPECT_EQ(d, DOS_DATE_MAX);
  EXPECT_TRUE(clamped);
  time_to_dos(4354819199, &d, &tm, nullptr);  // 23:59:59 rounds down, in range
  EXPECT_EQ(d, DOS_DATE_MAX);
  EXPECT_EQ(tm, DOS_TIME_MAX);
  time_to_dos(315532800, &d, &tm, &clamped);
  EXPECT_EQ(d, DOS_DATE_MIN);
  EXPECT_FALSE(clamped);
}

TEST_F(DosTime, EveryValidPairRoundTrips) {
  zone("CET-1CEST,M3.5.0,M10.5.0/3");
  // Every day of the range at a few times of day, including the hour that the
  // autumn change repeats (02:30 exists twice; either moment maps back to it).
  const uint16_t times[] = {0, time_of(2, 30, 0), time_of(13, 14, 58), DOS_TIME_MAX};
  for (int year = 1980; year <= 2107; year++) {
    for (int month = 1; month <= 12; month++) {
      for (int day = 1; day <= 31; day++) {
        uint16_t date = date_of(year, month, day);
        for (uint16_t time : times) {
          time_t t;
          if (!dos_to_time(date, time, &t)) {
            ASSERT_GT(day, 28) << year << "-" << month << "-" << day;
            continue;
          }
          uint16_t d, tm;
          bool clamped;
          time_to_dos(t, &d, &tm, &clamped);
          ASSERT_FALSE(clamped);
          // 02:30 on a spring-forward day does not exist; mktime moves it on.
          if (time == time_of(2, 30, 0) && tm != time) continue;
          ASSERT_EQ(d, date) << year << "-" << month << "-" << day;
          ASSERT_EQ(tm, time) << year << "-" << month << "-" << day;
        }
      }
    }
  }
}

}  // namespace
