#include "engine/dispatch.h"

#include <algorithm>
#include <cstdint>

#include "engine/script.h"
#include "text/strings.h"

namespace veldan::engine {
namespace {

using commands::CommandRow;

// The rows by word in an open-addressing table: the words are few and short,
// and every command line of a scan looks its word up.
class RowIndex {
  public:
    RowIndex() {
        const std::vector<CommandRow>& rows = commands::AllCommandRows();
        std::size_t size = 16;
        while (size < 4 * rows.size()) size *= 2;
        slots_.assign(size, nullptr);
        mask_ = size - 1;
        for (const CommandRow& row : rows) {
            std::size_t i = Hash(row.word) & mask_;
            while (slots_[i] != nullptr && slots_[i]->word != row.word) i = (i + 1) & mask_;
            if (slots_[i] == nullptr) slots_[i] = &row;  // the first row of a word wins
        }
    }

    const CommandRow* Find(std::string_view word) const {
        for (std::size_t i = Hash(word) & mask_;; i = (i + 1) & mask_) {
            const CommandRow* row = slots_[i];
            if (row == nullptr || row->word == word) return row;
        }
    }

  private:
    // FNV-1a.
    static std::size_t Hash(std::string_view word) {
        std::uint64_t h = 14695981039346656037ull;
        for (char c : word) {
            h ^= static_cast<unsigned char>(c);
            h *= 1099511628211ull;
        }
        return static_cast<std::size_t>(h ^ (h >> 29));
    }

    std::vector<const CommandRow*> slots_;
    std::size_t mask_ = 0;
};

const CommandRow* Find(std::string_view word) {
    static const RowIndex index;
    return index.Find(word);
}

// The row of `word`; null, with the debug lines of an unknown word, when there is none.
const CommandRow* KnownRow(Context& ctx, std::string_view word) {
    const CommandRow* row = Find(word);
    if (row == nullptr) {
        ctx.Debug("GetParamCount... ");
        ctx.Debug(word);
        ctx.Debug("\n");
    }
    return row;
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
    const CommandRow* row = KnownRow(ctx, word);
    return row == nullptr ? -1 : row->paramCount;
}

bool HasHandler(std::string_view word) {
    const CommandRow* row = Find(word);
    return row != nullptr && commands::RowComplete(*row);
}

int ExecFunc(Context& ctx, std::string_view word, const std::vector<std::string>& params,
             Mode mode) {
    const CommandRow* found = KnownRow(ctx, word);
    if (found == nullptr) return 0;
    const int count = found->paramCount;
    if (params.size() != static_cast<std::size_t>(count)) {
        std::string dump = "ExecFunc... # of param... ";
        dump.append(word);
        for (const auto& p : params) dump += "\n\"" + p + "\"";
        dump += "\n";
        ctx.Debug(dump);
        return 0;
    }
    const CommandRow& row = *found;
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
