// Every text Lumivex writes into the host's [Lumivex.LastError] variable, with when it is written
// and what an author can do about it: the table the author's guide prints. The code that writes
// the texts builds them where they arise (life cycle, sprite loading); this table holds the same
// texts, and the guide's test checks each fixed part of them against the sources. Constant data.
#pragma once

struct ErrorTextInfo {
  const char* id;      // short name, used as the guide's anchor
  const char* text;    // as written; a {WORD} marks a part filled in at the time
  const char* when;    // the action and the situation that write it
  const char* advice;  // what the author can do
};

extern const ErrorTextInfo ErrorTexts[];
extern const int ErrorTextCount;
