// One row per command; the document's operations know no ids, so the rows
// turn an id range into what the operation takes (a pattern's index, a
// cell count).
#include "ui/commands/DocumentCommands.h"

#include "document/RidgeforgeDoc.h"
#include "ui/commands/CommandIds.h"

namespace ridgeforge {

namespace {

// Enabled with a part: the update of the save, check and input-mesh rows.
CommandTable::UpdateHandler NeedsMesh(CRidgeforgeDoc& doc) {
    return [&doc](CommandId, CommandState& state) { doc.OnUpdateNeedsMesh(state); };
}

std::int32_t OccupancyCellsOf(CommandId id) {
    if (id == ID_OCCUPANCY_128) return 128;
    if (id == ID_OCCUPANCY_512) return 512;
    return 256;
}

void AddTextureCommands(CommandTable& table, CRidgeforgeDoc& doc) {
    table.Add(ID_TEXTURE_LOAD_FROM_DISK, [&doc](CommandId) { doc.OnLoadTextureFromDisk(); });
    table.AddRange(ID_PROCEDURAL_PATTERN_FIRST, ID_PROCEDURAL_PATTERN_LAST,
                   [&doc](CommandId id) { doc.OnProceduralPattern(id - ID_PROCEDURAL_PATTERN_FIRST); });
    table.Add(
        ID_PROCEDURAL_SETTINGS, [&doc](CommandId) { doc.OnProceduralSettings(); },
        [&doc](CommandId, CommandState& state) { doc.OnUpdateProceduralSettings(state); });
    table.AddRange(
        ID_OCCUPANCY_128, ID_OCCUPANCY_512, [&doc](CommandId id) { doc.OnOccupancyCells(OccupancyCellsOf(id)); },
        [&doc](CommandId id, CommandState& state) { doc.OnUpdateOccupancyCells(OccupancyCellsOf(id), state); });
}

void AddFileCommands(CommandTable& table, CRidgeforgeDoc& doc) {
    const CommandTable::UpdateHandler needsMesh = NeedsMesh(doc);
    // A test shape replaces the document as New and Open do, so it asks first
    // as they do; a project that opens a test shape has asked already.
    table.Add(ID_TEST_CUBE, [&doc](CommandId) {
        if (doc.SaveModified()) doc.OnTestCube();
    });
    table.Add(ID_TEST_CYLINDER, [&doc](CommandId) {
        if (doc.SaveModified()) doc.OnTestCylinder();
    });
    table.Add(ID_TEST_SPHERE, [&doc](CommandId) {
        if (doc.SaveModified()) doc.OnTestSphere();
    });
    table.Add(ID_FILE_OPEN_PROJECT, [&doc](CommandId) { doc.OnFileOpenProject(); });
    table.Add(
        ID_FILE_SAVE_PROJECT, [&doc](CommandId) { doc.OnFileSaveProject(); }, needsMesh);
    table.Add(
        ID_FILE_SAVE_PROJECT_AS, [&doc](CommandId) { doc.OnFileSaveProjectAs(); }, needsMesh);
    table.Add(
        ID_FILE_SAVE_STL, [&doc](CommandId) { doc.OnFileSaveStl(); }, needsMesh);
    table.Add(
        ID_FILE_SAVE_AS, [&doc](CommandId) { doc.OnFileSaveStl(); }, needsMesh);
    table.Add(
        ID_FILE_SAVE_ASCII_STL, [&doc](CommandId) { doc.OnFileSaveAsciiStl(); }, needsMesh);
}

void AddMeshCommands(CommandTable& table, CRidgeforgeDoc& doc) {
    const CommandTable::UpdateHandler needsMesh = NeedsMesh(doc);
    table.Add(
        ID_MESH_VALIDATE, [&doc](CommandId) { doc.OnValidate(); }, needsMesh);
    table.Add(
        ID_MESH_CHECK_PRINTABILITY, [&doc](CommandId) { doc.OnCheckPrintability(); }, needsMesh);
    table.Add(
        ID_MESH_REPAIR, [&doc](CommandId) { doc.OnRepair(); }, needsMesh);
    table.Add(
        ID_MESH_REPAIR_WINDOWS, [&doc](CommandId) { doc.OnRepairWithWindows(); },
        [&doc](CommandId, CommandState& state) { doc.OnUpdateRepairWithWindows(state); });
    table.Add(
        ID_MESH_SIMPLIFY_INPUT, [&doc](CommandId) { doc.OnSimplifyInputMesh(); }, needsMesh);
    table.Add(
        ID_MESH_REMESH_INPUT, [&doc](CommandId) { doc.OnRemeshInputMesh(); }, needsMesh);
    table.Add(
        ID_PROCESS, [&doc](CommandId) { doc.OnProcess(); },
        [&doc](CommandId, CommandState& state) { doc.OnUpdateProcess(state); });
    table.Add(
        ID_EDIT_UNDO, [&doc](CommandId) { doc.OnEditUndo(); },
        [&doc](CommandId, CommandState& state) { doc.OnUpdateEditUndo(state); });
    table.Add(
        ID_EDIT_REDO, [&doc](CommandId) { doc.OnEditRedo(); },
        [&doc](CommandId, CommandState& state) { doc.OnUpdateEditRedo(state); });
}

}  // namespace

void AddDocumentCommands(CommandTable& table, CRidgeforgeDoc& doc) {
    AddTextureCommands(table, doc);
    AddFileCommands(table, doc);
    AddMeshCommands(table, doc);
}

}  // namespace ridgeforge
