// The exit statuses: every one the program has is documented in the README's table and the
// man page (read from the source tree), and nothing else is; the help stays within 80 columns.
#include "app/exit_status.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>

#include "app/usage.h"
#include "support/temp_folder.h"

namespace {

std::set<int> TableStatuses() {
  std::set<int> statuses;
  for (const stExitStatus& row : EXIT_STATUSES) statuses.insert(row.status);
  return statuses;
}

bool IsNumber(const std::string& text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// The statuses in the rows "| N | ..." of the table below the heading.
std::set<int> ReadmeStatuses(const std::string& readme) {
  std::set<int> statuses;
  std::istringstream lines(readme.substr(readme.find("### Exit status of the automatic mode")));
  std::string line;
  std::getline(lines, line);
  bool bInTable = false;
  while (std::getline(lines, line) && (line.rfind("|", 0) == 0 || !bInTable)) {
    if (line.rfind("| ", 0) != 0) continue;
    bInTable = true;
    const std::string cell = line.substr(2, line.find(" |", 2) - 2);
    if (IsNumber(cell)) statuses.insert(std::stoi(cell));
  }
  return statuses;
}

// The statuses that head the ".TP" entries of the section EXIT STATUS.
std::set<int> ManPageStatuses(const std::string& page) {
  std::set<int> statuses;
  std::istringstream lines(page.substr(page.find(".SH EXIT STATUS\n") + 1));
  std::string line, previous;
  std::getline(lines, line);
  while (std::getline(lines, line) && line.rfind(".SH", 0) != 0) {
    if (previous == ".TP" && line.rfind(".B ", 0) == 0 && IsNumber(line.substr(3))) {
      statuses.insert(std::stoi(line.substr(3)));
    }
    previous = line;
  }
  return statuses;
}

TEST(ExitStatusTest, EveryStatusIsDocumentedInTheReadmeAndTheManPage) {
  const std::string readme = ReadWholeFile(HALVEX_SOURCE_DIR "/README.md");
  const std::string page = ReadWholeFile(HALVEX_SOURCE_DIR "/docs/man/halvex-installer.1.in");
  ASSERT_NE(readme.find("### Exit status of the automatic mode"), std::string::npos);
  ASSERT_NE(page.find(".SH EXIT STATUS\n"), std::string::npos);
  EXPECT_EQ(ReadmeStatuses(readme), TableStatuses()) << "README.md, Exit status";
  EXPECT_EQ(ManPageStatuses(page), TableStatuses()) << "halvex-installer.1.in, EXIT STATUS";
}

TEST(ExitStatusTest, TheHelpListsEachStatusWithinEightyColumns) {
  const std::string usage = GetUsageText();
  std::istringstream lines(usage.substr(usage.find("Exit status:\n")));
  std::string line;
  std::set<int> listed;
  while (std::getline(lines, line)) {
    EXPECT_LE(line.size(), 80u) << line;
    const size_t digits = line.find_first_not_of(' ');
    if (digits == 2) listed.insert(std::stoi(line.substr(2)));
  }
  EXPECT_EQ(listed, TableStatuses());
}

}  // namespace
