// The per-thread chain of EngineFpScope: the innermost one holds the words of the code that
// called us last, which HostFpScope gives back for calls out.
#include "common/fp_env.h"

static thread_local EngineFpScope* gInnermost = nullptr;

EngineFpScope::EngineFpScope() : saved(readFpControl()), outer(gInnermost) {
  gInnermost = this;
  writeFpControl(EngineFpControl);
}

EngineFpScope::~EngineFpScope() {
  gInnermost = outer;
  writeFpControl(saved);
}

HostFpScope::HostFpScope() : active(gInnermost != nullptr) {
  if (active) writeFpControl(gInnermost->saved);
}

HostFpScope::~HostFpScope() {
  if (active) writeFpControl(EngineFpControl);
}
