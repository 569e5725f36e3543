#include "common/Fnv1a.h"

#include <gtest/gtest.h>

// Known FNV-1a values, and the hashes the programs dispatch on.
TEST(Fnv1a, MatchesKnownValues) {
  struct Case { const char* text; uint32_t hash; } cases[] = {
      {"", 0x811C9DC5u},
      {"a", 0xE40C292Cu},
      {"foobar", 0xBF9CF968u},
      {"-UNINSTALL", 0xED44C91Au},
      {"/UNINSTALL", 0xC9629958u},
  };
  for (const Case& c : cases) EXPECT_EQ(Fnv1a(c.text), c.hash) << c.text;
}

TEST(Fnv1a, HashesBytesAboveSevenBitAsUnsigned) {
  const char degree[] = {static_cast<char>(0xB0), 0};
  EXPECT_EQ(Fnv1a(degree), (0x811C9DC5u ^ 0xB0u) * 0x01000193u);
}
