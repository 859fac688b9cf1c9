#pragma once
// Command-line parsing for veldan-cli: options may stand anywhere after the
// command words; "--name value" and "--name=value" are both accepted.

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace veldan::cli {

// Exit codes of the command-line contract.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

class Args {
  public:
    // `flags`: options without a value; `valued`: options with one (repeatable).
    // Returns false with `error` on an unknown option or a missing value.
    bool Parse(const std::vector<std::string>& argv, const std::vector<std::string>& flags,
               const std::vector<std::string>& valued, std::string& error);

    bool Has(const std::string& name) const { return values_.count(name) > 0; }
    // The last value of a valued option.
    std::optional<std::string> Value(const std::string& name) const;
    // Every value of a repeatable option, in order.
    std::vector<std::string> Values(const std::string& name) const;
    // Words that are not options, in order.
    const std::vector<std::string>& positional() const { return positional_; }

  private:
    std::map<std::string, std::vector<std::string>> values_;
    std::vector<std::string> positional_;
};

// Prints "veldan-cli: <message>" on standard error and returns `code`.
int Fail(int code, const std::string& message);

}  // namespace veldan::cli
