// MIMEMessageParser against Python's email package: the trees of every corpus message must
// agree (see email_tree.py for the deliberate differences and their reasons).
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>

#include "external/mime/mime_test_util.h"

namespace {

using moxxml_test::ParseToDump;
using moxxml_test::ReadFile;

std::vector<std::string> CorpusFiles() {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(MOXXML_TEST_DATA "/messages")) {
    if (entry.path().extension() == ".eml") names.push_back(entry.path().filename());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string PythonDump(const std::string& path) {
  const std::string command = "python3 '" MOXXML_EMAIL_TREE_SCRIPT "' '" + path + "'";
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[4096];
    std::size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    EXPECT_EQ(pclose(pipe), 0) << command;
  }
  return out;
}

class CorpusTest : public ::testing::TestWithParam<std::string> {};

TEST_P(CorpusTest, TreeAgreesWithPythonEmailAtEveryFeedSize) {
  const std::string path = MOXXML_TEST_DATA "/messages/" + GetParam();
  const std::string message = ReadFile(path);
  ASSERT_FALSE(message.empty());
  const std::string reference = PythonDump(path);
  ASSERT_FALSE(reference.empty());
  for (long feed : moxxml_test::Feeds()) {
    SCOPED_TRACE(moxxml_test::FeedName(feed));
    std::string bytes;
    EXPECT_EQ(ParseToDump(message, feed, &bytes), reference);
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
