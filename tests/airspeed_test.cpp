// Airspeed: its records as a host reads them, the needle, the GPS binding and
// the ground-speed tooltip, driven through the emulator.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>

#include "emulator/session.h"
#include "host/catalogue.h"
#include "host/records.h"
#include "tests/golden.h"

namespace {

const char kGauge[] = "Airspeed";
constexpr int kNeedle = 2;  // drawing order: face, needle

struct Fixture : ::testing::Test {
  talvor::Session session{talvor::Session::DefaultModulePath()};
  void SetUp() override { session.AddGauge(kGauge); }
  std::string Tooltip() { return session.TooltipAt(kGauge, 153, 153); }
};

using AirspeedTest = Fixture;

std::string TooltipFor(int knots) {
  return "Airspeed Indicator - Ground Speed: " + std::to_string(knots) + " knots";
}

TEST_F(AirspeedTest, RecordsAsTheHostReadsThem) {
  const GAUGEHDR* h = session.GaugeHeader(kGauge);
  EXPECT_EQ(h->version, 800u);
  EXPECT_STREQ(h->name, "Airspeed");
  EXPECT_EQ(h->width_mm, 306u);
  EXPECT_NE(h->callback, nullptr);
  EXPECT_EQ(h->user_data, 0u);
  EXPECT_EQ(h->parameters, nullptr);
  EXPECT_EQ(h->flags, 0u);

  const ELEMENT_HEADER* face = *h->elements;
  EXPECT_EQ(face->kind, kElementStatic);
  EXPECT_EQ(face->bitmap_id, 0x1300u);
  EXPECT_EQ(face->image_flags, 0x83u);
  EXPECT_EQ(face->gauge, h);
  ASSERT_NE(face->failures, nullptr);
  EXPECT_EQ(face->failures[0].key, 0u);
  ASSERT_NE(face->next_elements, nullptr);
  ASSERT_NE(face->next_elements[0], nullptr);
  EXPECT_EQ(face->next_elements[1], nullptr);

  const auto* needle = reinterpret_cast<const ELEMENT_NEEDLE*>(face->next_elements[0]);
  EXPECT_EQ(needle->header.kind, kElementNeedle);
  EXPECT_EQ(needle->header.bitmap_id, 0x1310u);
  EXPECT_EQ(needle->header.position.x, 153);
  EXPECT_EQ(needle->header.position.y, 153);
  EXPECT_EQ(needle->header.offset.x, 36);
  EXPECT_EQ(needle->header.offset.y, 10);
  EXPECT_EQ(needle->header.image_flags, 0x83u);
  EXPECT_EQ(needle->header.special_flags, 0u);
  EXPECT_EQ(needle->header.gauge, h);
  EXPECT_EQ(needle->header.next_elements, nullptr);
  EXPECT_EQ(needle->source.id, VarAirspeed);
  EXPECT_NE(needle->callback, nullptr);
  EXPECT_EQ(needle->max_degrees_per_tick, 0.0);
  const FAILURE_RECORD* f = needle->header.failures;
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f[0].key, 3u);
  EXPECT_EQ(f[0].action, 2u);
  EXPECT_EQ(f[1].key, 6u);
  EXPECT_EQ(f[1].action, 2u);
  EXPECT_EQ(f[2].key, 0u);

  struct Point {
    int x, y;
    double knots;
  };
  const Point table[] = {{152, 37, 0},    {211, 51, 40},  {262, 121, 60}, {252, 207, 80}, {190, 260, 100},
                         {101, 258, 120}, {52, 211, 140}, {34, 153, 160}, {46, 102, 180}, {75, 62, 200}};
  ASSERT_EQ(needle->table_size, 10u);
  for (int i = 0; i < 10; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(needle->table[i].point.x, table[i].x);
    EXPECT_EQ(needle->table[i].point.y, table[i].y);
    EXPECT_EQ(needle->table[i].value, table[i].knots);
  }

  const MOUSERECT* m = h->mouse_rects;
  EXPECT_EQ(m[0].type, kMouseParent);
  EXPECT_EQ(m[1].type, kMouseUser);
  EXPECT_EQ(m[2].type, kMouseEndParent);
  EXPECT_EQ(m[3].type, kMouseEnd);
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(m[i].box.x | m[i].box.y | m[i].box.w | m[i].box.h, 0);
    EXPECT_EQ(m[i].cursor, -1);
    EXPECT_EQ(m[i].help_id, 0u);
    EXPECT_EQ(m[i].flags, 0u);
    EXPECT_EQ(m[i].event_id, i == 1 ? 1u : 0u);
    if (i != 1) {
      EXPECT_EQ(m[i].function.mouse, nullptr);
      EXPECT_EQ(m[i].data, nullptr);
    }
  }
  EXPECT_STREQ(m[1].function.tooltip, "Airspeed Indicator - Ground Speed: %1!d! knots");
  const auto* args = static_cast<const MOUSE_ARG*>(m[1].data);
  ASSERT_NE(args, nullptr);
  EXPECT_EQ(args[0].source.id, 0u);
  EXPECT_EQ(args[0].source.var_ptr, nullptr);
  EXPECT_EQ(args[0].source.value, 0.0);
  EXPECT_NE(args[0].callback, nullptr);
  EXPECT_EQ(args[1].source.id, 0u);
  EXPECT_EQ(args[1].callback, nullptr);
}

TEST_F(AirspeedTest, NeedleTakesTheAirspeedUnchanged) {
  for (double knots : {-10.0, 0.0, 57.25, 250.0}) {
    SCOPED_TRACE(knots);
    session.Set(VarAirspeed, knots);
    session.Run(1);
    EXPECT_EQ(session.Element(kGauge, kNeedle).value, knots);
  }
}

// The needle points at each table spot at its speed: 160 kt lies level with
// the pivot on the left.
TEST_F(AirspeedTest, NeedlePointsAtTheScale) {
  struct Spot {
    double knots;
    int x, y;
  };
  for (const Spot& s : {Spot{0, 152, 37}, Spot{60, 262, 121}, Spot{160, 34, 153}, Spot{200, 75, 62}}) {
    SCOPED_TRACE(s.knots);
    session.Set(VarAirspeed, s.knots);
    session.Run(1);
    const double want = std::atan2(s.y - 153.0, s.x - 153.0);
    const double got = session.Element(kGauge, kNeedle).angle;
    EXPECT_NEAR(std::remainder(got - want, 2 * M_PI), 0.0, 1e-9);
  }
}

// Pitot-static (3) and airspeed-gauge (6) failures drop the needle to zero;
// the value the gauge gives stays the airspeed.
TEST_F(AirspeedTest, FailuresShowTheNeedleAtZero) {
  session.Set(VarAirspeed, 0.0);
  session.Run(1);
  const double zero_angle = session.Element(kGauge, kNeedle).angle;
  for (uint32_t key : {3u, 6u}) {
    SCOPED_TRACE(key);
    session.Set(VarAirspeed, 120.0);
    session.SetFailure(key, true);
    session.Run(1);
    const talvor::ElementState needle = session.Element(kGauge, kNeedle);
    EXPECT_EQ(needle.value, 120.0);
    EXPECT_EQ(needle.failure_action, 2u);
    EXPECT_NEAR(needle.angle, zero_angle, 1e-9);
    session.SetFailure(key, false);
  }
}

TEST_F(AirspeedTest, TooltipShowsGroundSpeedInKnots) {
  struct Case {
    double metres_per_second;
    uint32_t size_field;
    int knots;
  };
  const Case cases[] = {
      {10.0, 176, 19},      // 19.43844
      {10.0, 175, 0},       // a record too short to hold the field
      {10.0, 0, 0},
      {10.0, 0xFFFFFFFFu, 19},
      {0.0, 176, 0},
      {100.0, 176, 194},    // 194.3844
  };
  session.Run(1);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.metres_per_second);
    SCOPED_TRACE(c.size_field);
    session.SetGroundSpeed(c.metres_per_second);
    session.SetGpsSizeField(c.size_field);
    EXPECT_EQ(Tooltip(), TooltipFor(c.knots));
  }
}

// The record is read in place: a change shows at once, without an update.
TEST_F(AirspeedTest, TooltipReadsTheRecordInPlace) {
  session.SetGroundSpeed(10.0);
  session.Run(1);
  EXPECT_EQ(Tooltip(), TooltipFor(19));
  session.SetGroundSpeed(51.4444);  // 99.9999 kt
  EXPECT_EQ(Tooltip(), TooltipFor(99));
}

// Before any pre-draw nothing is bound and the tooltip reads 0.
TEST_F(AirspeedTest, TooltipBeforeTheFirstDrawReadsZero) {
  session.SetGroundSpeed(10.0);
  EXPECT_EQ(Tooltip(), TooltipFor(0));
}

// A host without the named variable at first: binding is tried at every
// pre-draw, succeeds at the first after the record exists, and is kept even
// when the host would hand back null again.
TEST_F(AirspeedTest, GpsRecordBindsOnceItExists) {
  session.SetGroundSpeed(10.0);
  session.SetGpsAbsentUntil(5);
  while (session.UpdateCount() < 4) {
    session.Run(1);
    EXPECT_EQ(Tooltip(), TooltipFor(0)) << "update " << session.UpdateCount();
  }
  session.Run(2);
  EXPECT_EQ(Tooltip(), TooltipFor(19));

  session.SetGpsAbsentUntil(1000000);
  session.Run(3);
  EXPECT_EQ(Tooltip(), TooltipFor(19));
}

TEST_F(AirspeedTest, GoldenDial) {
  for (int knots : {0, 60, 160, 200}) {
    SCOPED_TRACE(knots);
    session.Set(VarAirspeed, knots);
    session.Run(1);
    ExpectMatchesGolden(session.RenderGauge(kGauge), "airspeed_" + std::to_string(knots) + "kt");
  }
}

}  // namespace
