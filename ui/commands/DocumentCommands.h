// The document's commands: binds the ids of the File, Texture, Mesh and Edit
// menus to the document's operations and update handlers. Needs the
// document, which outlives the table; returns nothing but the rows added.
#pragma once

#include "ui/framework/CommandTable.h"

namespace ridgeforge {

class CRidgeforgeDoc;

void AddDocumentCommands(CommandTable& table, CRidgeforgeDoc& doc);

}  // namespace ridgeforge
