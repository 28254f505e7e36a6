// A command map: each row binds a command id, or a range of ids, to a handler
// and an optional update handler that says whether the command is enabled
// and checked. The shell asks the tables of the view, the document, the main
// frame and the application in that order; the first table with a row for
// the id handles it (RouteCommand). A row without an update handler leaves
// its command enabled and unchecked.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "document/CommandState.h"

namespace ridgeforge {

using CommandId = std::uint32_t;

class CommandTable {
public:
    using Handler = std::function<void(CommandId id)>;
    using UpdateHandler = std::function<void(CommandId id, CommandState& state)>;

    struct Row {
        CommandId first = 0;
        CommandId last = 0;
        Handler handler;
        UpdateHandler update;
    };

    void Add(CommandId id, Handler handler, UpdateHandler update = {});
    // first..last inclusive; the handler receives the id that was chosen.
    void AddRange(CommandId first, CommandId last, Handler handler, UpdateHandler update = {});

    // The first row that covers the id, or null.
    const Row* Find(CommandId id) const;
    // Runs the handler; false when no row covers the id.
    bool Execute(CommandId id) const;
    // Fills the state; false when no row covers the id (the state is then
    // left as it was).
    bool Update(CommandId id, CommandState& state) const;

    const std::vector<Row>& Rows() const { return rows_; }

private:
    std::vector<Row> rows_;
};

// The first table (null entries skipped) with a row for the id handles it;
// false when none has one.
bool RouteCommand(std::span<const CommandTable* const> tables, CommandId id);
bool RouteCommandUpdate(std::span<const CommandTable* const> tables, CommandId id, CommandState& state);

}  // namespace ridgeforge
