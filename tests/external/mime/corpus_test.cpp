// MIMEMessageParser against Python's email package: the trees of every corpus message must
// agree (see email_tree.py for the deliberate differences and their reasons).
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>

#include "external/mime/mime_test_util.h"

namespace {

std::vector<std::string> CorpusFiles() {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(MOXXML_TEST_DATA "/messages")) {
    if (entry.path().extension() == ".eml") names.push_back(entry.path().filename());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string PythonDump(const std::string& path) {
  std::string out;
  FILE* pipe = popen(("python3 '" MOXXML_EMAIL_TREE_SCRIPT "' '" + path + "'").c_str(), "r");
  for (int c; pipe && (c = fgetc(pipe)) != EOF;) out += static_cast<char>(c);
  EXPECT_TRUE(pipe && pclose(pipe) == 0) << path;
  return out;
}

class CorpusTest : public ::testing::TestWithParam<std::string> {};

TEST_P(CorpusTest, TreeAgreesWithPythonEmailAtEveryFeedSize) {
  const std::string path = MOXXML_TEST_DATA "/messages/" + GetParam();
  const std::string message = moxxml_test::ReadFile(path);
  ASSERT_FALSE(message.empty());
  const std::string reference = PythonDump(path);
  ASSERT_FALSE(reference.empty());
  for (long feed : moxxml_test::Feeds()) {
    SCOPED_TRACE(moxxml_test::FeedName(feed));
    std::string bytes;
    EXPECT_EQ(moxxml_test::ParseToDump(message, feed, &bytes), reference);
    EXPECT_EQ(bytes, message);
  }
}

INSTANTIATE_TEST_SUITE_P(Messages, CorpusTest, ::testing::ValuesIn(CorpusFiles()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           std::string name = info.param.substr(0, info.param.size() - 4);
                           for (char& c : name)
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });

}  // namespace
