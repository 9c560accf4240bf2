// The emitter registry: find, insert zero-filled, remove, clear. Entries are map nodes, so an
// Emitter never moves while it is registered.
#include "common/text.h"
#include "runtime/emitter.h"

std::string rectKey(const std::string& rectName) { return normalizeName(rectName); }

Emitter* registryFind(EmitterRegistry& registry, const std::string& key) {
  auto it = registry.entries.find(key);
  return it == registry.entries.end() ? nullptr : &it->second;
}

Emitter* registryInsert(EmitterRegistry& registry, const std::string& key) {
  // A present key is replaced by a fresh zero-filled entry rather than handed back half-used.
  registry.entries.erase(key);
  auto result = registry.entries.emplace(std::piecewise_construct, std::forward_as_tuple(key),
                                         std::forward_as_tuple());
  return &result.first->second;
}

void registryRemove(EmitterRegistry& registry, const std::string& key) {
  registry.entries.erase(key);
}

void registryClear(EmitterRegistry& registry) { registry.entries.clear(); }

int registryIsEmpty(const EmitterRegistry& registry) { return registry.entries.empty() ? 1 : 0; }
