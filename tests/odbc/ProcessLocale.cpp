// The suite runs once in the C locale (as daru does, never calling setlocale)
// and once with the locale that DARU_TEST_LOCALE names.

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <stdexcept>
#include <string>

namespace {

class ProcessLocale : public ::testing::Environment {
 public:
  void SetUp() override {
    const char* wanted = std::getenv("DARU_TEST_LOCALE");
    if (wanted == nullptr || *wanted == '\0') return;
    ASSERT_NE(std::setlocale(LC_ALL, wanted), nullptr) << "the locale " << wanted << " is not installed";
  }
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new ProcessLocale);

}  // namespace
