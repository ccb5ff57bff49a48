// Shared pieces of the resource tests: a temporary game folder and a pack source that answers from
// a list and records what it was asked.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/alloc_zeroed.h"
#include "core/engine_state.h"
#include "core/error_report.h"
#include "engine_fixture.h"
#include "platform/file_system.h"
#include "platform/platform.h"
#include "resource/data_file_lookup.h"
#include "resource/pack_source.h"
#include "resource/preload_banks.h"

namespace korvel::testing_support {

struct FakePack {
  struct Entry {
    std::string name;  // as the pack stores it: lower case, '\'
    uint8_t type;
    std::string bytes;
  };
  std::vector<Entry> entries;
  std::vector<std::string> asked;
  bool cannot_open = false;
};

inline FakePack g_fake_pack;

inline int32_t FakePackFind(ResourceLocator* locator, const char* name) {
  g_fake_pack.asked.emplace_back(name);
  for (size_t i = 0; i < g_fake_pack.entries.size(); ++i) {
    if (NamesEqualNoCase(g_fake_pack.entries[i].name, name)) {
      if (g_fake_pack.cannot_open) return -2;
      locator->source = kSourcePack;
      locator->type = g_fake_pack.entries[i].type;
      locator->pack_index_position = static_cast<int32_t>(i);
      return kSourcePack;
    }
  }
  return 0;
}

inline int32_t FakePackLoad(ResourceLocator* locator, const char*) {
  const auto& bytes = g_fake_pack.entries[static_cast<size_t>(locator->pack_index_position)].bytes;
  locator->data = static_cast<uint8_t*>(AllocZeroed(bytes.size()));
  std::copy(bytes.begin(), bytes.end(), locator->data);
  locator->size = static_cast<uint32_t>(bytes.size());
  return 0;
}

class ResourceTest : public test::HeadlessEngine {
 protected:
  void SetUp() override {
    HeadlessEngine::SetUp();
    char pattern[] = "/tmp/korvel-resource-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = std::string(pattern) + "/";
    InitResourceLookup(root_);
    g_fake_pack = FakePack{};
    static constexpr PackSource kFake = {FakePackFind, FakePackLoad};
    SetPackSource(&kFake);
  }
  void TearDown() override {
    ShutdownResourceLookup();
    ResetAllocFailureForTest();
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
    platform::ForgetFolderListings();
    HeadlessEngine::TearDown();
  }

  void WriteFile(const std::string& relative, const std::string& bytes) {
    const std::filesystem::path path = root_ + relative;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
  }
  static void AddBankRow(int32_t bank, const std::string& name, uint32_t type,
                         const std::string& bytes) {
    auto* data = static_cast<uint8_t*>(AllocZeroed(bytes.size()));
    std::copy(bytes.begin(), bytes.end(), data);
    ASSERT_EQ(PushPreloadBankRow(bank, name.c_str(), type, data,
                                 static_cast<uint32_t>(bytes.size())),
              0);
  }
  static std::string Loaded(const ResourceLocator& locator) {
    return std::string(reinterpret_cast<const char*>(locator.data), locator.size);
  }

  std::string root_;
};

}  // namespace korvel::testing_support
