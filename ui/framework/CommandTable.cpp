// Linear search: a command map holds a few dozen rows and is searched once
// per menu item shown or command chosen.
#include "ui/framework/CommandTable.h"

#include <utility>

namespace ridgeforge {

void CommandTable::Add(CommandId id, Handler handler, UpdateHandler update) {
    AddRange(id, id, std::move(handler), std::move(update));
}

void CommandTable::AddRange(CommandId first, CommandId last, Handler handler, UpdateHandler update) {
    rows_.push_back(Row{first, last, std::move(handler), std::move(update)});
}

const CommandTable::Row* CommandTable::Find(CommandId id) const {
    for (const Row& row : rows_) {
        if (id >= row.first && id <= row.last) return &row;
    }
    return nullptr;
}

bool CommandTable::Execute(CommandId id) const {
    const Row* row = Find(id);
    if (row == nullptr) return false;
    if (row->handler) row->handler(id);
    return true;
}

bool CommandTable::Update(CommandId id, CommandState& state) const {
    const Row* row = Find(id);
    if (row == nullptr) return false;
    state = CommandState{};
    if (row->update) row->update(id, state);
    return true;
}

bool RouteCommand(std::span<const CommandTable* const> tables, CommandId id) {
    for (const CommandTable* table : tables) {
        if (table != nullptr && table->Execute(id)) return true;
    }
    return false;
}

bool RouteCommandUpdate(std::span<const CommandTable* const> tables, CommandId id, CommandState& state) {
    for (const CommandTable* table : tables) {
        if (table != nullptr && table->Update(id, state)) return true;
    }
    return false;
}

}  // namespace ridgeforge
