#include <gtest/gtest.h>
#include "emulator/session.h"
#include "tests/test_support.h"
TEST(EmulatorSession, Smoke) {
  talvor::Session s(talvor::testing::TestModulePath());
  s.AddGauge("Fixture");
  s.Run(2);
  EXPECT_EQ(s.ElementCount("Fixture"), 5);
}
