// The comma-separated scanner of the text-file command: pieces of a Shift-JIS text split at
// separating commas and line breaks, with quotes keeping commas inside a piece.
#pragma once

#include <cstddef>
#include <cstdint>

namespace korvel {

// Receives one piece: its first byte and its length (both inside the scanned text).
using TextPieceSink = void (*)(void* context, const uint8_t* piece, size_t length);

// Scans `size` bytes and calls `sink` for every piece produced, in order; returns their number.
// The position never steps past the end: a lead byte that is the last byte is one byte.
size_t ScanTextPieces(const uint8_t* text, size_t size, TextPieceSink sink, void* context);

// The longest prefix of `piece` that fits in `limit` bytes without splitting a double-byte
// character.
size_t PieceLengthWithin(const uint8_t* piece, size_t length, size_t limit);

}  // namespace korvel
