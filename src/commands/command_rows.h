#pragma once
// How a command family tells the dispatcher its words: each family lists its
// rows (word, parameter count, handler shape, handlers) beside its handlers,
// and AllCommandRows() gathers the rows of every family. A new word is one row
// in its family's file.

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/context.h"
#include "platform/mode.h"

namespace veldan::commands {

using platform::Context;
using platform::Mode;
using Params = std::vector<std::string>;
using Handler = int (*)(Context&, const Params&);
using ModeHandler = int (*)(Context&, const Params&, Mode);

// Pair: a scan and a cure handler; FixFlag: one handler told the mode;
// CureOnly: a cure handler alone (nothing runs in a scan).
enum class HandlerShape { Pair, FixFlag, CureOnly };

// One command word and what runs it.
struct CommandRow {
    std::string_view word;
    int paramCount = 0;
    HandlerShape shape = HandlerShape::Pair;
    Handler scan = nullptr;
    Handler cure = nullptr;
    ModeHandler withMode = nullptr;
};

constexpr CommandRow PairRow(std::string_view word, int count, Handler scan, Handler cure) {
    return {word, count, HandlerShape::Pair, scan, cure, nullptr};
}
constexpr CommandRow ModeRow(std::string_view word, int count, ModeHandler handler) {
    return {word, count, HandlerShape::FixFlag, nullptr, nullptr, handler};
}
constexpr CommandRow CureOnlyRow(std::string_view word, int count, Handler cure) {
    return {word, count, HandlerShape::CureOnly, nullptr, cure, nullptr};
}

// Adapters from an operation over the line's texts to a row's handler: the
// parameters are passed in line order.
using Op1 = int (*)(Context&, std::string_view);
using Op2 = int (*)(Context&, std::string_view, std::string_view);
using Op3 = int (*)(Context&, std::string_view, std::string_view, std::string_view);
using ModeOp0 = int (*)(Context&, Mode);
using ModeOp1 = int (*)(Context&, std::string_view, Mode);

template <Op1 F>
int Take1(Context& c, const Params& p) {
    return F(c, p[0]);
}
template <Op2 F>
int Take2(Context& c, const Params& p) {
    return F(c, p[0], p[1]);
}
template <Op3 F>
int Take3(Context& c, const Params& p) {
    return F(c, p[0], p[1], p[2]);
}
template <ModeOp0 F>
int TakeMode0(Context& c, const Params&, Mode mode) {
    return F(c, mode);
}
template <ModeOp1 F>
int TakeMode1(Context& c, const Params& p, Mode mode) {
    return F(c, p[0], mode);
}

// Rows of words whose scan and cure operations take the line's texts.
template <Op1 Scan, Op1 Cure>
constexpr CommandRow Pair1(std::string_view word) {
    return PairRow(word, 1, &Take1<Scan>, &Take1<Cure>);
}
template <Op2 Scan, Op2 Cure>
constexpr CommandRow Pair2(std::string_view word) {
    return PairRow(word, 2, &Take2<Scan>, &Take2<Cure>);
}
template <Op3 Scan, Op3 Cure>
constexpr CommandRow Pair3(std::string_view word) {
    return PairRow(word, 3, &Take3<Scan>, &Take3<Cure>);
}
// Rows of words with one operation told the mode: no parameter, or one text.
template <ModeOp0 F>
constexpr CommandRow Check0(std::string_view word) {
    return ModeRow(word, 0, &TakeMode0<F>);
}
template <ModeOp1 F>
constexpr CommandRow Check1(std::string_view word) {
    return ModeRow(word, 1, &TakeMode1<F>);
}

// The rows of each family.
// Key, Value, ValueByData, KeyByData, EmptyKey.
std::span<const CommandRow> RegistryRows();
// File, Dir, EmptyDir, FilesFrom and the FileFrom / DirFrom / FilesFrom words; Process.
std::span<const CommandRow> FileRows();
// FavDir and the shortcut and internet-shortcut words.
std::span<const CommandRow> ShortcutRows();
// The registry place words (SoftwareKey, ServicesKey, ... IEValue).
std::span<const CommandRow> RegistryPlaceRows();
// CLSID, CLSIDOnly, Ax, AllAx, RegAx, UnregFromAppData and the type words.
std::span<const CommandRow> ActiveXRows();
// The browser setting checks, the prefix words and UserStylesheet.
std::span<const CommandRow> BrowserRows();
// The Run value words, the start-up places and checks, FileFrom..._ words.
std::span<const CommandRow> StartupRows();
// DeleteHostfile, Adtomi, LSPFix.
std::span<const CommandRow> SystemRows();

// The rows of every family, in the order of the families above.
const std::vector<CommandRow>& AllCommandRows();

// True when the row holds the handlers its shape needs.
bool RowComplete(const CommandRow& row);

}  // namespace veldan::commands
