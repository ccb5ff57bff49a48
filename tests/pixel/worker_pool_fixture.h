// A test fixture with a worker pool of its own, started with GetParam() workers, and the names of
// its cases ("One", "Two").
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "pixel/pixel_kernels.h"
#include "pixel/worker_pool.h"

namespace korvel::pixel_test {

class WorkerPoolTest : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    SelectPixelKernels();
    ASSERT_TRUE(StartWorkerThreads(pool_, GetParam()));
  }
  void TearDown() override { StopWorkerThreads(pool_); }
  WorkerPool pool_;
};

inline std::string WorkerCountName(const ::testing::TestParamInfo<int>& param) {
  return param.param == 1 ? "One" : param.param == 2 ? "Two" : std::to_string(param.param);
}

}  // namespace korvel::pixel_test
