// Temporary: the import's functions, not built yet.
#include "core/common/Error.h"
#include "core/import/ImportFile.h"
#include "core/import/ImportLayouts.h"
#include "core/import/ImportUndo.h"
#include "core/import/PriceUpdate.h"
#include "core/import/ProductImport.h"

namespace quillane {

namespace {
[[noreturn]] void notBuilt()
{
    throw Error("not built yet");
}
} // namespace

ImportGrid ReadImportFile(const std::string&)
{
    notBuilt();
}
ImportGrid ReadDelimitedText(const std::string&)
{
    notBuilt();
}
ImportGrid ParseDelimitedText(std::string_view)
{
    notBuilt();
}
char DetectSeparator(std::string_view, std::string_view)
{
    notBuilt();
}
ImportGrid ReadXls(const std::string&)
{
    notBuilt();
}
ImportGrid ReadXlsx(const std::string&)
{
    notBuilt();
}
ImportGrid ReadOds(const std::string&)
{
    notBuilt();
}
ImportResult ImportRows(CatalogStore&, const ImportGrid&, const ImportChoices&, const TCountry&)
{
    notBuilt();
}
ImportResult PreviewImport(const CatalogStore&, const ImportGrid&, const ImportChoices&, const TCountry&)
{
    notBuilt();
}
PriceUpdateResult UpdatePrices(CatalogStore&, ImportGrid&, const ImportChoices&, const TCountry&)
{
    notBuilt();
}
PriceUpdateResult PreviewPriceUpdate(const CatalogStore&, const ImportGrid&, const ImportChoices&, const TCountry&)
{
    notBuilt();
}
std::size_t RemoveDiscontinued(CatalogStore&, const std::vector<DiscontinuedItem>&)
{
    notBuilt();
}
std::string ImportLayoutsPath(const std::string&)
{
    notBuilt();
}
std::optional<ImportColumns> RecallColumns(const std::string&, const ImportGrid&)
{
    notBuilt();
}
void RememberColumns(const std::string&, const ImportGrid&, const ImportColumns&)
{
    notBuilt();
}
void SaveImportUndo(const CatalogStore&)
{
    notBuilt();
}
void MarkImportDone(const CatalogStore&)
{
    notBuilt();
}
bool ImportUndoAvailable(const CatalogStore&)
{
    notBuilt();
}
void UndoImport(CatalogStore&)
{
    notBuilt();
}
void DiscardImportUndo(const CatalogStore&)
{
    notBuilt();
}

} // namespace quillane
