#include "args.h"

#include <algorithm>
#include <cstdio>

namespace veldan::cli {

bool Args::Parse(const std::vector<std::string>& argv, const std::vector<std::string>& flags,
                 const std::vector<std::string>& valued, std::string& error) {
    auto contains = [](const std::vector<std::string>& v, const std::string& s) {
        return std::find(v.begin(), v.end(), s) != v.end();
    };
    for (std::size_t i = 0; i < argv.size(); ++i) {
        const std::string& a = argv[i];
        if (a.size() > 2 && a.compare(0, 2, "--") == 0) {
            std::string name = a.substr(2);
            std::optional<std::string> inlineValue;
            if (auto eq = name.find('='); eq != std::string::npos) {
                inlineValue = name.substr(eq + 1);
                name = name.substr(0, eq);
            }
            if (contains(flags, name) && !inlineValue) {
                values_[name].push_back("");
            } else if (contains(valued, name)) {
                if (inlineValue) {
                    values_[name].push_back(*inlineValue);
                } else if (i + 1 < argv.size()) {
                    values_[name].push_back(argv[++i]);
                } else {
                    error = "option --" + name + " needs a value";
                    return false;
                }
            } else {
                error = "unknown option " + a;
                return false;
            }
        } else {
            positional_.push_back(a);
        }
    }
    return true;
}

std::optional<std::string> Args::Value(const std::string& name) const {
    auto it = values_.find(name);
    if (it == values_.end() || it->second.empty()) return std::nullopt;
    return it->second.back();
}

std::vector<std::string> Args::Values(const std::string& name) const {
    auto it = values_.find(name);
    return it == values_.end() ? std::vector<std::string>{} : it->second;
}

int Fail(int code, const std::string& message) {
    std::fprintf(stderr, "veldan-cli: %s\n", message.c_str());
    return code;
}

}  // namespace veldan::cli
