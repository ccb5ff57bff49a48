// Error texts: kre.kbn, the built-in texts and the lookup by code.
#include "core/error_texts.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "core/error_report.h"
#include "core/program_paths.h"
#include "core/sjis_text.h"
#include "platform/file_system.h"

namespace korvel {

ErrorMessageTable g_error_messages;

namespace {

constexpr char kEmpty[] = "";
constexpr char kErrorTextFile[] = "kre.kbn";
constexpr size_t kHeaderSize = 16;

DataFileLoader g_loader = nullptr;

struct BuiltinText {
  int32_t code;
  const char* utf8;
};

// Written here in UTF-8; converted to code page 932 once, on first use.
constexpr BuiltinText kBuiltinTexts[] = {
    {100000,
     "■ライセンスについて\n"
     "\n"
     "次のライブラリを使用しています。\n"
     "\n"
     "[Ogg Vorbis] Copyright (c) 2002-2020 Xiph.Org Foundation: BSDスタイル\n"
     "[libpng] Copyright (c) 1995-2022 The PNG Reference Library Authors: "
     "PNG Reference Library License version 2\n"
     "[zlib] Copyright (c) 1995-2022 Jean-loup Gailly, Mark Adler: zlib License\n"
     "[FFmpeg] Copyright (c) 2000-2022 the FFmpeg developers: LGPL 2.1 以降 (https://ffmpeg.org)\n"
     "[SDL2] Copyright (c) 1997-2023 Sam Lantinga: zlib License\n"
     "[FreeType] Portions of this software are copyright (c) 2022 The FreeType Project "
     "(www.freetype.org). All rights reserved. FreeType License\n"
     "[fontconfig] Copyright (c) 2000-2022 Keith Packard ほか: MITスタイル\n"
     "[libjpeg-turbo] This software is based in part on the work of the Independent JPEG Group. "
     "Copyright (c) 2009-2023 D. R. Commander: IJG License, BSDスタイル\n"
     "[iconv (glibc)] Copyright (c) 1991-2022 Free Software Foundation: LGPL 2.1 以降\n"
     "[X11] Copyright (c) 1985-1998 The Open Group ほか: MIT License\n"
     "\n"
     "いずれも無保証で「現状のまま」提供されます。"},
    {100010, "メモリ不足です。"},
    {102040, "フォントを作成できませんでした。"},
    {104010, "[%s]ファイルを\n読み込めませんでした。"},
    {104030, "メモリ不足のため[%s]ファイルを\n読み込めませんでした。"},
    {104060, "[%s]ファイルが\n存在しません。"},
    {104100, "パックファイル中に破損ファイルが見つかりました。\n\nPacFile = %s\nFile = %s"},
    {104110, "フォルダの数が多すぎます。"},
    {104111, "フォルダの階層が深すぎます。"},
    {104120, "パックファイル仕様が現在の仕様と一致しません。\n\n[%s]"},
    {104130, "パックファイルを同時に扱えるのは %d 個までです。"},
    {104140, "パックファイル内に含まれるファイルが、合計 %d 個を超えました。"},
    {104150, "パックファイル内のファイル\n[%s]が\n重複しています。"},
    {106010, "メモリ不足により\n[%s]ファイルを展開出来ませんでした。"},
    {900040, "[内部エラー]\n\nバッファ不足により\n[%s]ファイルを展開出来ませんでした。"},
    {901040, "[内部エラー]\n\nパックファイル[%s]が\nオープンできませんでした。"},
};
constexpr size_t kBuiltinCount = sizeof kBuiltinTexts / sizeof kBuiltinTexts[0];

// Texts for codes the engine reports that a game's error file may leave out; the file's own text
// comes first for these.
constexpr BuiltinText kFallbackTexts[] = {
    {101510, "動画ファイルを開けませんでした。"},
    {101520, "動画ファイルの映像と音声を\n展開出来ませんでした。"},
};
constexpr size_t kFallbackCount = sizeof kFallbackTexts / sizeof kFallbackTexts[0];

constexpr char kInternalErrorUtf8[] =
    "[内部エラー]\n\nエラー文字列の指定ミスです。\nシステム開発者までお問い合わせください。";

struct ConvertedTexts {
  std::string builtin[kBuiltinCount];
  std::string fallback[kFallbackCount];
  std::string internal;
};

const ConvertedTexts& Converted() {
  static const ConvertedTexts texts = [] {
    ConvertedTexts t;
    for (size_t i = 0; i < kBuiltinCount; ++i) t.builtin[i] = Sjis(kBuiltinTexts[i].utf8);
    for (size_t i = 0; i < kFallbackCount; ++i) t.fallback[i] = Sjis(kFallbackTexts[i].utf8);
    t.internal = Sjis(kInternalErrorUtf8);
    return t;
  }();
  return texts;
}

uint32_t ReadU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

void ResetTable(ErrorMessageTable* table) {
  table->data.clear();
  table->count = 0;
  for (size_t i = 0; i < kMaxErrorMessages; ++i) {
    table->codes[i] = 0;
    table->texts[i] = kEmpty;
  }
}

}  // namespace

ErrorMessageTable::ErrorMessageTable() {
  for (auto& text : texts) text = kEmpty;
}

void SetErrorTextLoader(DataFileLoader loader) { g_loader = loader; }

int LoadDataFileFromDisk(const char* name, std::vector<uint8_t>* out) {
  out->clear();
  std::string real_path;
  bool is_folder = false;
  const platform::FileStatus found = platform::ResolveSjisPath(
      g_paths.game_folder, std::string("krbin\\") + name, &real_path, &is_folder);
  if (found == platform::FileStatus::kNotFound || found == platform::FileStatus::kRefused) {
    return -1;
  }
  if (found != platform::FileStatus::kOk || is_folder) return -2;
  uint8_t* data = nullptr;
  size_t size = 0;
  if (platform::ReadWholeFile(real_path, &data, &size) != platform::FileStatus::kOk) return -2;
  out->assign(data, data + size);
  std::free(data);
  return 0;
}

bool ParseErrorMessages(std::vector<uint8_t> data, ErrorMessageTable* table) {
  ResetTable(table);
  table->data = std::move(data);
  const size_t size = table->data.size();
  if (size < kHeaderSize) {
    table->data.clear();
    return false;
  }
  const uint8_t* bytes = table->data.data();
  const uint32_t declared = ReadU32(bytes + 8);
  // The table holds 256 entries; further entries are ignored.
  const size_t wanted = declared < kMaxErrorMessages ? declared : kMaxErrorMessages;
  size_t pos = kHeaderSize;
  size_t n = 0;
  while (n < wanted && size - pos >= 4) {
    const uint32_t code = ReadU32(bytes + pos);
    pos += 4;
    const void* nul = std::memchr(bytes + pos, 0, size - pos);
    if (nul == nullptr) break;  // an unterminated text ends the table
    table->codes[n] = code;
    table->texts[n] = reinterpret_cast<const char*>(bytes + pos);
    ++n;
    pos = static_cast<size_t>(static_cast<const uint8_t*>(nul) - bytes) + 1;
  }
  table->count = static_cast<int32_t>(n);
  return true;
}

int LoadErrorMessages() {
  ResetTable(&g_error_messages);
  std::vector<uint8_t> data;
  const DataFileLoader loader = g_loader != nullptr ? g_loader : LoadDataFileFromDisk;
  const int result = loader(kErrorTextFile, &data);
  if (result == -1) {
    ReportError(104060, true, kErrorTextFile);
    return -1;
  }
  if (result == -3) {
    ReportError(901040, true, kErrorTextFile);
    return -1;
  }
  if (result != 0) {
    ReportError(104010, true, kErrorTextFile);
    return -1;
  }
  // A file too short to hold its header cannot be read as an error-text file.
  if (!ParseErrorMessages(std::move(data), &g_error_messages)) {
    ReportError(104010, true, kErrorTextFile);
    return -1;
  }
  return 0;
}

const char* BuiltinErrorText(int32_t code) {
  for (size_t i = 0; i < kBuiltinCount; ++i) {
    if (kBuiltinTexts[i].code == code) return Converted().builtin[i].c_str();
  }
  return nullptr;
}

const char* FallbackErrorText(int32_t code) {
  for (size_t i = 0; i < kFallbackCount; ++i) {
    if (kFallbackTexts[i].code == code) return Converted().fallback[i].c_str();
  }
  return nullptr;
}

const char* InternalErrorText() { return Converted().internal.c_str(); }

const char* GetErrorText(int32_t code) {
  if (const char* builtin = BuiltinErrorText(code)) return builtin;
  const auto wanted = static_cast<uint32_t>(code);
  for (int32_t i = 0; i < g_error_messages.count; ++i) {
    if (g_error_messages.codes[i] == wanted) return g_error_messages.texts[i];
  }
  if (const char* fallback = FallbackErrorText(code)) return fallback;
  return InternalErrorText();
}

void InitErrorTexts() {
  ResetTable(&g_error_messages);
  g_loader = nullptr;
}

}  // namespace korvel
