// A language file, read into the text tables as the program starts.

#include "FuzzSupport.h"
#include "core/common/Error.h"
#include "core/i18n/LanguageFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace quillane;
    const std::string dir = fuzz::CleanScratch();
    fuzz::WriteBytes(dir + "english.lng", fuzz::AsText(data, size));
    try {
        const LanguageFile file(dir, "english");
        const TextTables tables = LoadTextTables(file);
        for (const std::string& text : tables.MsgBoxTexts) {
            MessageLines(text);
        }
        file.GetTranslation("Main", "MainForm|Caption", "");
        file.SectionValues("Notices");
    } catch (const Error&) {
    }
    return 0;
}
