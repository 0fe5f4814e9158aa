#pragma once

namespace quillane {

class CatalogStore;

// Taking back an import: ImportRows, UpdatePrices and RemoveDiscontinued
// put the catalog's working files aside (in the store's working folder)
// before they write, and note how they left them. The last of them can be
// taken back as long as nothing else changed the catalog since.

// Puts groups.ini and shop.tmp of the working copy aside, replacing what
// an earlier operation put there. The operations call it themselves.
void SaveImportUndo(const CatalogStore& store);
// Notes the working copy as the operation left it. Called at their end.
void MarkImportDone(const CatalogStore& store);

// True when there is an operation to take back and the working copy is
// still as it left it.
bool ImportUndoAvailable(const CatalogStore& store);

// Brings back the working copy as it was before the last operation,
// rebuilds the group map and item count, reloads the shown group's items
// and reports a change. Throws Error when there is nothing to take back or
// the catalog changed since (taking it back would lose that change).
void UndoImport(CatalogStore& store);

// Forgets what was put aside (the dialog closes, another project opens).
void DiscardImportUndo(const CatalogStore& store);

} // namespace quillane
