// Headless local time is repeatable: it starts at 2000-01-01 00:00:00 UTC and follows the virtual
// clock.
#include <cstdlib>
#include <ctime>

#include <gtest/gtest.h>

#include "platform/platform.h"

namespace korvel::platform {
namespace {

TEST(HeadlessLocalTime, FollowsTheVirtualClockFromAFixedStart) {
  ::setenv("TZ", "UTC", 1);
  ::tzset();
  ASSERT_TRUE(InitPlatformWith(BackendKind::kHeadless));
  SetClockThread(true);
  LocalTime t = GetLocalTime();
  EXPECT_EQ(t.year, 2000);
  EXPECT_EQ(t.month, 1);
  EXPECT_EQ(t.day, 1);
  EXPECT_EQ(t.day_of_week, 6);  // a Saturday
  EXPECT_EQ(t.hour, 0);
  // 25 hours, 1 minute, 1.5 seconds later.
  SleepMs((25 * 3600 + 61) * 1000 + 500);
  t = GetLocalTime();
  EXPECT_EQ(t.day, 2);
  EXPECT_EQ(t.hour, 1);
  EXPECT_EQ(t.minute, 1);
  EXPECT_EQ(t.second, 1);
  EXPECT_EQ(t.milliseconds, 500);
  SetClockThread(false);
  ShutdownPlatform();
}

}  // namespace
}  // namespace korvel::platform
