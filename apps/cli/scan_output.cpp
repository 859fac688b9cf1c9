#include "scan_output.h"

#include <cstdio>

#include "platform/found_items.h"
#include "text/codepage.h"
#include "text/strings.h"

namespace veldan::cli {
namespace {

Json RowItems(platform::Context& ctx, const engine::ScanRow& row) {
    Json items = Json::array();
    const auto& found = ctx.report().found();
    for (int i = 0; i < row.itemCount; ++i) {
        const auto& item = found.At(row.itemStart + i);
        items.push_back({{"type", std::string(platform::TypeName(item.type))},
                         {"label", Utf8(platform::TypeLabel(item.type))},
                         {"text", Utf8(item.text)}});
    }
    return items;
}

// The label padded to eight terminal columns; Hangul characters take two.
std::string PaddedLabel(std::string_view label) {
    int width = 0;
    for (unsigned char c : label) {
        if (c < 0x80) {
            ++width;
        } else if ((c & 0xC0) != 0x80) {
            width += 2;
        }
    }
    return std::string(label) +
           std::string(width < 8 ? static_cast<std::size_t>(8 - width) : 1, ' ');
}

const char* StatusColour(std::string_view status) {
    return status == "완료" ? "32" : "31";
}

}  // namespace

Json ChangesJson(const std::vector<quarantine::Change>& changes, int row) {
    Json out = Json::array();
    for (const auto& c : changes) {
        if (c.row == row) out.push_back({{"op", c.op}, {"type", c.type}, {"text", Utf8(c.text)}});
    }
    return out;
}

void PrintChanges(const std::vector<quarantine::Change>& changes, int row, const char* indent) {
    for (const auto& c : changes) {
        if (c.row != row) continue;
        std::printf("%s%-18s %-8s %s\n", indent, c.op.c_str(), c.type.c_str(), c.text.c_str());
    }
}

Json ScanDocument(platform::Context& ctx, const engine::ScanResult& result, bool completed,
                  bool withCure, const std::vector<quarantine::Change>& changes) {
    const auto& db = ctx.db();
    Json doc;
    doc["database"] = {{"version", Utf8(text::TrimRight(db.DatabaseVersion))},
                       {"patterns", db.PatternCount},
                       {"entries", db.EntryCount}};
    doc["completed"] = completed;
    Json rows = Json::array();
    for (std::size_t i = 0; i < result.rows.size(); ++i) {
        const auto& row = result.rows[i];
        Json r;
        r["name"] = Utf8(row.name);
        if (withCure) {
            r["checked"] = row.checked;
            r["status"] = Utf8(row.status);
        }
        r["items"] = RowItems(ctx, row);
        if (withCure) r["changes"] = ChangesJson(changes, static_cast<int>(i));
        rows.push_back(std::move(r));
    }
    doc["rows"] = std::move(rows);
    if (withCure) {
        doc["changes"] = ChangesJson(changes, -1);
        Json failures = Json::array();
        for (const auto& item : ctx.report().failed().items()) {
            failures.push_back(
                {{"type", std::string(platform::TypeName(item.type))}, {"text", Utf8(item.text)}});
        }
        doc["failures"] = std::move(failures);
    }
    return doc;
}

void PrintHeader(platform::Context& ctx, const std::string& machine) {
    const auto& db = ctx.db();
    std::printf("Machine:  %s\n", machine.c_str());
    std::printf("Database: %s (%d patterns, %d entries)\n\n",
                db.DatabaseVersion.empty() ? "-" : text::Trim(db.DatabaseVersion).c_str(),
                db.PatternCount, db.EntryCount);
}

void PrintRows(platform::Context& ctx, const engine::ScanResult& result, bool withCure,
               bool colour) {
    const auto& found = ctx.report().found();
    for (std::size_t r = 0; r < result.rows.size(); ++r) {
        const auto& row = result.rows[r];
        std::string mark;
        if (withCure) mark = row.checked ? "[v] " : "[ ] ";
        std::printf("%2zu. %s%s (%d)%s%s\n", r + 1, mark.c_str(),
                    Paint(row.name, "1", colour).c_str(), row.itemCount,
                    row.status.empty() ? "" : "  ",
                    Paint(row.status, StatusColour(row.status), colour).c_str());
        for (int i = 0; i < row.itemCount; ++i) {
            const auto& item = found.At(row.itemStart + i);
            std::printf("      %s %s\n", PaddedLabel(platform::TypeLabel(item.type)).c_str(),
                        item.text.c_str());
        }
    }
}

void PrintKept(const std::string& folder, const std::string& machine, const std::string& cureId) {
    std::printf("\nRemoved items are kept in %s\n", folder.c_str());
    std::printf("Undo with: veldan-cli quarantine --machine %s restore --id %s\n", machine.c_str(),
                cureId.c_str());
}

void PrintFailures(platform::Context& ctx) {
    for (const auto& item : ctx.report().failed().items()) {
        std::printf("      %s %s\n", PaddedLabel(platform::TypeLabel(item.type)).c_str(),
                    item.text.c_str());
    }
}

int TotalItems(const engine::ScanResult& result) {
    int n = 0;
    for (const auto& row : result.rows) n += row.itemCount;
    return n;
}

void ConsoleObserver::OnProgress(int percent, int position, int total) {
    percent_ = percent;
    position_ = position;
    total_ = total;
    Draw();
}

void ConsoleObserver::OnStatus(std::string_view text) {
    status_ = std::string(text.substr(0, 50));
    // File names change often during the deep-scan pass; redraw now and then.
    if (++statusUpdates_ % 64 == 0) Draw();
}

void ConsoleObserver::OnDeepScan(std::uint64_t filesChecked) {
    deepScanFiles_ = static_cast<long long>(filesChecked);
    Draw();
}

void ConsoleObserver::Draw() {
    if (!line_.enabled()) return;
    if (deepScanFiles_ >= 0) {
        // The whole-drive pass: its end is not known, so count what it has seen.
        line_.Show("Deep Scan: " + std::to_string(deepScanFiles_) + " files " + status_);
        return;
    }
    line_.Show(std::to_string(percent_) + "% (" + std::to_string(position_) + "/" +
               std::to_string(total_) + ") " + status_);
}

}  // namespace veldan::cli
