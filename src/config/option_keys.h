// The keys of PlayAdvanced's options text as authors read about them: name, the form of the
// value, what the key does and an example value, one row per key in the order ApplyOptions
// applies them. The author's guide and its tests read this table; ApplyOptions stays the
// authority on behaviour, and the tests hold the table to it. Constant data only.
#pragma once

struct OptionKeyInfo {
  const char* key;        // as an author writes it (keys are matched trimmed, in any case)
  const char* valueForm;  // the form of the value
  const char* effect;     // what the key does, in an author's words
  const char* example;    // a value that changes some preset
};

extern const OptionKeyInfo OptionKeys[];
extern const int OptionKeyCount;

// Index of the key (exact spelling) in OptionKeys, or -1.
int optionKeyIndex(const char* key);
