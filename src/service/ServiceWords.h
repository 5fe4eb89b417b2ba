// The service launcher's command words: install, uninstall, start, stop,
// restart, status and run, each the action of a row of one table.
#ifndef TARVIK_SERVICE_SERVICEWORDS_H
#define TARVIK_SERVICE_SERVICEWORDS_H

#include <string>
#include <string_view>
#include <vector>

namespace tarvik {

// The words' exit codes, beside the application's own for `run`.
constexpr int SERVICE_USAGE_EXIT_CODE = 20;
constexpr int SERVICE_REFUSED_EXIT_CODE = 21;
constexpr int SERVICE_NO_RIGHTS_EXIT_CODE = 22;
constexpr int SERVICE_MANAGER_FAILED_EXIT_CODE = 23;
constexpr int SERVICE_NOT_INSTALLED_EXIT_CODE = 24;
constexpr int SERVICE_NOT_RUNNING_EXIT_CODE = 25;
constexpr const char SERVICE_USAGE_CAPTION[] = "Not A Service Command";

std::vector<std::string_view> serviceWordNames();

// The usage, for a word that is none of them.
std::string serviceUsage(const std::string& launcher);

// Whether `word` takes the words that follow it: run takes any (they are
// the application's), install --replace alone, the others none.
bool serviceWordTakes(const std::string& word, const std::vector<std::string>& further);

// Does what `word` says, with the words that follow it, once the
// configuration has been read; the exit code.
int runServiceWord(const std::string& word, const std::vector<std::string>& further);

}  // namespace tarvik

#endif  // TARVIK_SERVICE_SERVICEWORDS_H
