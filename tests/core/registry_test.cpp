// The emitter registry: keys, zero-filled entries, removal and walks.
#include <gtest/gtest.h>

#include "runtime/emitter.h"

TEST(Registry, RectKeyTrimsSpacesAndLowerCases) {
  EXPECT_EQ(rectKey(" Rect1 "), "rect1");
  EXPECT_EQ(rectKey("RECT1"), rectKey("rect1"));
  EXPECT_EQ(rectKey("   "), "");
  EXPECT_EQ(rectKey("\tRect1"), "\trect1");
}

TEST(Registry, InsertFindRemoveClearWalk) {
  EmitterRegistry reg;
  EXPECT_EQ(registryIsEmpty(reg), 1);
  Emitter* a = registryInsert(reg, rectKey("Rect1"));
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(registryIsEmpty(reg), 0);

  // A fresh entry is zero-filled throughout, the pool included.
  EXPECT_EQ(a->presentation.overlay, nullptr);
  EXPECT_EQ(a->system.config.spawnRate, 0);
  EXPECT_EQ(a->inFront, 0);
  EXPECT_TRUE(a->sprite.spritePath.empty());
  for (const Particle& p : a->system.particles) ASSERT_EQ(p.active, 0);

  a->system.aliveCount = 7;
  Emitter* b = registryInsert(reg, rectKey(" other "));
  EXPECT_EQ(registryFind(reg, rectKey("RECT1")), a);  // entries never move
  EXPECT_EQ(registryFind(reg, "other"), b);
  EXPECT_EQ(registryFind(reg, "missing"), nullptr);

  int visits = 0;
  registryWalk(reg, [&](Emitter& e) { ++visits; e.renderingEnabled = 1; });
  EXPECT_EQ(visits, 2);
  EXPECT_EQ(a->renderingEnabled, 1);

  registryRemove(reg, "rect1");
  EXPECT_EQ(registryFind(reg, "rect1"), nullptr);
  registryRemove(reg, "rect1");  // removing an absent key is harmless
  EXPECT_EQ(registryIsEmpty(reg), 0);
  registryClear(reg);
  EXPECT_EQ(registryIsEmpty(reg), 1);

  // Re-inserting a key gives a fresh zero-filled entry, not the old state.
  Emitter* c = registryInsert(reg, "k");
  c->system.aliveCount = 3;
  c->system.particles[10].active = 1;
  c = registryInsert(reg, "k");
  EXPECT_EQ(c->system.aliveCount, 0);
  EXPECT_EQ(c->system.particles[10].active, 0);
}
