// Imports a delimited text file and an .xlsx workbook of 50,000 rows into an
// empty catalog, then updates the prices of the catalog's 50,000 items from
// the same kind of file with the rows in another order. Prints rows per
// second of reading alone and of the whole operation, and the ratio of the
// whole to reading the text file's lines alone (getline over the same rows,
// timed in the same run). A run at a tenth of the size beside it shows that
// the cost per row does not grow with the catalog: the price update looks
// order numbers up, it does not search the file once per item.
//
// Usage: bench_import [--quick] [--keep]
//   --quick  only the tenth
//   --keep   leave the temporary folder behind
#include "BenchSupport.h"
#include "core/catalog/CatalogStore.h"
#include "core/common/Files.h"
#include "core/common/Text.h"
#include "core/import/ImportFile.h"
#include "core/import/PriceUpdate.h"
#include "core/import/ProductImport.h"

#include <zip.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace quillane::bench;
using namespace quillane;

struct Row {
    std::string Group, Name, OrderNo, Price;
};

// 100 groups under 10 main groups; the price pass differs in its prices
// and lists the items backwards.
std::vector<Row> makeRows(int count, bool updated)
{
    std::vector<Row> rows;
    rows.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const int group = i * 100 / count;
        char orderNo[32];
        std::snprintf(orderNo, sizeof orderNo, "N%06d", i);
        char price[32];
        std::snprintf(price, sizeof price, "%d,%02d", 5 + i % 200 + (updated ? 1 : 0), i % 100);
        rows.push_back({"Main" + std::to_string(group / 10) + "|Sub" + std::to_string(group % 10),
                        "Artikel " + std::to_string(i) + " M\xFCtze", orderNo, price});
    }
    if (updated) {
        std::reverse(rows.begin(), rows.end());
    }
    return rows;
}

std::string csv(const std::vector<Row>& rows)
{
    std::string text = "Gruppe;Name;Nr;Preis\r\n";
    for (const Row& r : rows) {
        text += r.Group + ";" + r.Name + ";" + r.OrderNo + ";" + r.Price + "\r\n";
    }
    return text;
}

std::string xmlEscaped(const std::string& cp1252)
{
    std::string out;
    for (const char c : Cp1252ToUtf8(cp1252)) {
        out += c == '&' ? "&amp;" : c == '<' ? "&lt;" : std::string(1, c);
    }
    return out;
}

// A workbook as spreadsheet programs write it: texts in the shared table,
// prices as numbers.
void writeXlsx(const std::string& path, const std::vector<Row>& rows)
{
    std::string sheet = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><worksheet "
                        "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>";
    std::string strings;
    int shared = 0;
    const auto text = [&](const std::string& ref, const std::string& value) {
        strings += "<si><t>" + xmlEscaped(value) + "</t></si>";
        sheet += "<c r=\"" + ref + "\" t=\"s\"><v>" + std::to_string(shared++) + "</v></c>";
    };
    sheet += "<row r=\"1\">";
    text("A1", "Gruppe");
    text("B1", "Name");
    text("C1", "Nr");
    text("D1", "Preis");
    sheet += "</row>";
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const std::string n = std::to_string(i + 2);
        sheet += "<row r=\"" + n + "\">";
        text("A" + n, rows[i].Group);
        text("B" + n, rows[i].Name);
        text("C" + n, rows[i].OrderNo);
        std::string price = rows[i].Price;
        std::replace(price.begin(), price.end(), ',', '.');
        sheet += "<c r=\"D" + n + "\"><v>" + price + "</v></c></row>";
    }
    sheet += "</sheetData></worksheet>";
    const std::string ns = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    const std::pair<std::string, std::string> parts[] = {
        {"[Content_Types].xml", "<?xml version=\"1.0\"?><Types "
                                "xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\"/>"},
        {"_rels/.rels", "<?xml version=\"1.0\"?><Relationships "
                        "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"><Relationship "
                        "Id=\"r1\" Type=\"" +
                            ns + "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"},
        {"xl/workbook.xml", "<?xml version=\"1.0\"?><workbook "
                            "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" xmlns:r=\"" +
                                ns +
                                "\"><sheets><sheet name=\"Items\" sheetId=\"1\" r:id=\"r1\"/></sheets></workbook>"},
        {"xl/_rels/workbook.xml.rels",
         "<?xml version=\"1.0\"?><Relationships "
         "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"><Relationship Id=\"r1\" Type=\"" +
             ns + "/worksheet\" Target=\"worksheets/sheet1.xml\"/><Relationship Id=\"r2\" Type=\"" + ns +
             "/sharedStrings\" Target=\"sharedStrings.xml\"/></Relationships>"},
        {"xl/worksheets/sheet1.xml", sheet},
        {"xl/sharedStrings.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><sst "
                                 "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">" +
                                     strings + "</sst>"},
    };
    int error = 0;
    zip_t* zip = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (zip == nullptr) {
        throw std::runtime_error("cannot create " + path);
    }
    for (const auto& [name, content] : parts) {
        zip_source_t* source = zip_source_buffer(zip, content.data(), content.size(), 0);
        if (source == nullptr || zip_file_add(zip, name.c_str(), source, ZIP_FL_OVERWRITE) < 0) {
            zip_source_free(source);
            zip_discard(zip);
            throw std::runtime_error("cannot write " + path);
        }
    }
    // The buffers are read here, while parts still holds them.
    if (zip_close(zip) != 0) {
        throw std::runtime_error("cannot write " + path);
    }
}

// The baseline: the text file's lines read and counted, nothing else.
double readLines(const std::string& path, std::size_t& lines)
{
    const auto start = Clock::now();
    std::ifstream in(path, std::ios::binary);
    std::string line;
    lines = 0;
    while (std::getline(in, line)) {
        lines += line.empty() ? 0 : 1;
    }
    return since(start);
}

struct Timing {
    double Read = 0;  // reading the file into the grid
    double Total = 0; // reading and the operation
};

bool check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "bench_import: %s\n", what);
    }
    return ok;
}

bool runSize(const std::string& root, int count, const char* kind)
{
    const std::string folder = root + kind + "-" + std::to_string(count) + "/";
    fs::create_directories(folder + "work");
    const std::string extension = std::string(kind) == "xlsx" ? ".xlsx" : ".csv";
    const std::string importFile = folder + "items" + extension;
    const std::string updateFile = folder + "prices" + extension;
    const std::vector<Row> rows = makeRows(count, false);
    const std::vector<Row> changed = makeRows(count, true);
    WriteTextFile(folder + "items.csv", csv(rows));
    if (extension == ".xlsx") {
        writeXlsx(importFile, rows);
        writeXlsx(updateFile, changed);
    } else {
        WriteTextFile(updateFile, csv(changed));
    }
    std::size_t lines = 0;
    const double baseline = readLines(folder + "items.csv", lines);

    CatalogStore store(folder + "work/");
    store.SetLanguages("english", "english");
    const TCountry home;
    ImportChoices choices;
    choices.Columns = ImportColumns{0, 1, 2, 3};
    choices.FirstRow = 1; // past the header row

    Timing import;
    auto start = Clock::now();
    ImportGrid grid = ReadImportFile(importFile);
    import.Read = since(start);
    const ImportResult imported = ImportRows(store, grid, choices, home);
    import.Total = since(start);

    Timing update;
    start = Clock::now();
    ImportGrid prices = ReadImportFile(updateFile);
    update.Read = since(start);
    const PriceUpdateResult updated = UpdatePrices(store, prices, choices, home);
    update.Total = since(start);

    bool ok = check(lines == static_cast<std::size_t>(count) + 1, "the text file has not one line per row");
    ok = check(imported.Added == static_cast<std::size_t>(count) && imported.Skipped.empty(),
               "the import did not add every row") &&
         ok;
    ok = check(store.ItemCount == count, "the catalog does not count every item") && ok;
    ok = check(updated.Updated == static_cast<std::size_t>(count) && updated.Discontinued.empty() &&
                   prices.Rows.size() == 1,
               "the price update did not match every item") &&
         ok;
    const Timing* timings[] = {&import, &update};
    const char* names[] = {"import", "update"};
    for (int i = 0; i < 2; ++i) {
        std::printf("%-5s %7d %-7s %11.0f %12.0f %10.2f %12.1f\n", kind, count, names[i], count / timings[i]->Read,
                    count / timings[i]->Total, timings[i]->Total * 1e6 / count, timings[i]->Total / baseline);
    }
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    bool quick = false;
    bool keep = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--quick") {
            quick = true;
        } else if (arg == "--keep") {
            keep = true;
        } else {
            std::fprintf(stderr, "Usage: bench_import [--quick] [--keep]\n");
            return 2;
        }
    }
    std::string root = (fs::temp_directory_path() / "quillane-bench-XXXXXX").string();
    if (::mkdtemp(root.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    root += "/";
    bool ok = true;
    std::printf("%-5s %7s %-7s %11s %12s %10s %12s\n", "file", "rows", "pass", "read rows/s", "total rows/s", "us/row",
                "total/lines");
    try {
        for (const char* kind : {"text", "xlsx"}) {
            for (const int count : quick ? std::vector<int>{5000} : std::vector<int>{5000, 50000}) {
                ok = runSize(root, count, kind) && ok;
            }
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_import: %s\n", e.what());
        ok = false;
    }
    if (keep) {
        std::printf("left in %s\n", root.c_str());
    } else {
        fs::remove_all(root);
    }
    return ok ? 0 : 1;
}
