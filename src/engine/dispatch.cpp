#include "engine/dispatch.h"

#include <algorithm>
#include <unordered_map>

#include "engine/script.h"
#include "text/strings.h"

namespace veldan::engine {
namespace {

using commands::CommandRow;

const CommandRow* Find(std::string_view word) {
    static const std::unordered_map<std::string_view, const CommandRow*> index = [] {
        std::unordered_map<std::string_view, const CommandRow*> m;
        for (const CommandRow& row : commands::AllCommandRows()) m.emplace(row.word, &row);
        return m;
    }();
    auto it = index.find(word);
    return it == index.end() ? nullptr : it->second;
}

}  // namespace

const std::vector<CommandInfo>& CommandTable() {
    static const std::vector<CommandInfo> table = [] {
        std::vector<CommandInfo> t;
        for (const CommandRow& r : commands::AllCommandRows()) {
            t.push_back({r.word, r.paramCount, r.shape});
        }
        std::sort(t.begin(), t.end(), [](const CommandInfo& a, const CommandInfo& b) {
            return text::LowerAscii(a.word) < text::LowerAscii(b.word);
        });
        return t;
    }();
    return table;
}

int GetParamCount(Context& ctx, std::string_view word) {
    const CommandRow* row = Find(word);
    if (row == nullptr) {
        ctx.Debug("GetParamCount... ");
        ctx.Debug(word);
        ctx.Debug("\n");
        return -1;
    }
    return row->paramCount;
}

bool HasHandler(std::string_view word) {
    const CommandRow* row = Find(word);
    return row != nullptr && commands::RowComplete(*row);
}

int ExecFunc(Context& ctx, std::string_view word, const std::vector<std::string>& params,
             Mode mode) {
    int count = GetParamCount(ctx, word);
    if (count < 0) return 0;
    if (params.size() != static_cast<std::size_t>(count)) {
        std::string dump = "ExecFunc... # of param... ";
        dump.append(word);
        for (const auto& p : params) dump += "\n\"" + p + "\"";
        dump += "\n";
        ctx.Debug(dump);
        return 0;
    }
    const CommandRow& row = *Find(word);
    if (!commands::RowComplete(row)) {
        ctx.Debug("ExecFunc... ");
        ctx.Debug(word);
        ctx.Debug("\n");
        return 0;
    }
    switch (row.shape) {
        case HandlerShape::Pair:
            return mode == Mode::Scan ? row.scan(ctx, params) : row.cure(ctx, params);
        case HandlerShape::FixFlag:
            return row.withMode(ctx, params, mode);
        case HandlerShape::CureOnly:
            return mode == Mode::Scan ? 0 : row.cure(ctx, params);
    }
    return 0;
}

int RunScriptLine(Context& ctx, std::string_view line, Mode mode) {
    std::string command;
    std::vector<std::string> params;
    if (!ParseLine(ctx, line, command, params)) return 0;
    return ExecFunc(ctx, command, params, mode);
}

}  // namespace veldan::engine
