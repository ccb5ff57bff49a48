// The texts of the six-digit error codes: the compiled error-text file krbin/kre.kbn and the
// built-in texts that take precedence over it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace korvel {

inline constexpr size_t kMaxErrorMessages = 256;

// The loaded kre.kbn. `texts` point into `data` (or at an empty string); the record is filled in
// place and not copied.
struct ErrorMessageTable {
  std::vector<uint8_t> data;
  int32_t count = 0;
  uint32_t codes[kMaxErrorMessages] = {};
  const char* texts[kMaxErrorMessages] = {};

  ErrorMessageTable();
  ErrorMessageTable(const ErrorMessageTable&) = delete;
  ErrorMessageTable& operator=(const ErrorMessageTable&) = delete;
};

extern ErrorMessageTable g_error_messages;

// Finds a data file by name and loads it whole. Returns 0, -1 when the file does not exist, -2 when
// it cannot be read, -3 when the pack that holds it cannot be opened.
using DataFileLoader = int (*)(const char* name, std::vector<uint8_t>* out);

// The loader LoadErrorMessages uses; null restores the default, which reads
// <game folder>/krbin/<name> from disk (names matched without regard to case).
void SetErrorTextLoader(DataFileLoader loader);
int LoadDataFileFromDisk(const char* name, std::vector<uint8_t>* out);

// Takes `data` (a whole kre.kbn) into `table`: at most 256 entries, no further than the data goes;
// an entry without its terminating NUL ends the table. Returns false when the data is shorter than
// the 16-byte header (the table is then empty).
bool ParseErrorMessages(std::vector<uint8_t> data, ErrorMessageTable* table);

// Loads kre.kbn into g_error_messages; on failure reports the fatal error and returns -1.
int LoadErrorMessages();

// The text of a code (code page 932): a built-in text, else the file's first entry with that code,
// else the engine's fallback text for it, else the internal-error text.
const char* GetErrorText(int32_t code);
// The built-in text of a code, or null.
const char* BuiltinErrorText(int32_t code);
// The text used for a code the error file does not hold (the movie player's failures), or null.
const char* FallbackErrorText(int32_t code);
// "[内部エラー]..." for codes that have no text.
const char* InternalErrorText();

// Empties the table and restores the default loader.
void InitErrorTexts();

}  // namespace korvel
