// The version: the generated header, the library that is loaded, and the release notes of the
// source tree must all name the project's version.
#include <fstream>
#include <gtest/gtest.h>
#include <regex>
#include <string>

#include <moxxml/moxxml.h>

namespace {

// The first capture of the first line of a file that matches pattern, or "" when none does.
std::string FirstMatch(const std::string& path, const char* pattern) {
  std::ifstream in(path);
  std::smatch match;
  for (std::string line; std::getline(in, line);) {
    if (std::regex_search(line, match, std::regex(pattern))) return match[1];
  }
  return "";
}

// A stale generated header, or a library built from another version than the headers, shows
// as a mismatch here.
TEST(Version, HeaderAndLoadedLibraryNameTheProjectVersion) {
  const std::string fromMacros = std::to_string(MOXXML_VERSION_MAJOR) + "." +
                                 std::to_string(MOXXML_VERSION_MINOR) + "." +
                                 std::to_string(MOXXML_VERSION_PATCH);
  EXPECT_EQ(fromMacros, MOXXML_PROJECT_VERSION);
  EXPECT_STREQ(MOXXML_VERSION_STRING, MOXXML_PROJECT_VERSION);
  EXPECT_STREQ(MoxXML::GetMoxXMLVersion(), MOXXML_PROJECT_VERSION);
}

// The Debian package's version and the newest release in the changelog follow
// project(VERSION): a release that bumps one without the others fails here.
TEST(Version, ReleaseNotesNameTheProjectVersion) {
  const struct {
    const char* file;
    const char* pattern;
  } kNotes[] = {
      {"debian/changelog", R"(^moxxml \(([^)]*)\) )"},
      {"CHANGELOG.md", R"(^## \[([0-9][^\]]*)\])"},
  };
  for (const auto& notes : kNotes) {
    EXPECT_EQ(FirstMatch(std::string(MOXXML_SOURCE_DIR) + "/" + notes.file, notes.pattern),
              MOXXML_PROJECT_VERSION)
        << notes.file;
  }
}

}  // namespace
