// The core's outcome sink. State: the one installed sink function.
#include "common/error_sink.h"

static LastErrorFn gLastErrorSink = nullptr;

void setLastErrorSink(LastErrorFn sink) { gLastErrorSink = sink; }

void reportLastError(const std::string& message) {
  if (gLastErrorSink) gLastErrorSink(message);
}
