// Where the portable core's outcome texts go: the host's [Lumivex.LastError] variable in the
// plug-in, stderr in the tools, a recorder in the tests. The layer above installs the sink once at
// start-up; without one, texts are dropped.
#pragma once

#include <string>

// Receives one UTF-8 text.
typedef void (*LastErrorFn)(const std::string& message);

// nullptr (the default) drops every text.
void setLastErrorSink(LastErrorFn sink);
// Hands message to the installed sink, if any.
void reportLastError(const std::string& message);
