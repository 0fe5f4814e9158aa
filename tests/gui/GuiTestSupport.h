#pragma once

#include "common/Files.h"
#include "common/IniFile.h"
#include "common/Prompter.h"
#include "common/QtText.h"

#include <QList>
#include <QStringList>
#include <QTemporaryDir>

#include <filesystem>
#include <string>

namespace quillane::gui::test {

// Answers the program's questions from a script and keeps what it was told.
class ScriptedPrompter : public Prompter {
public:
    QList<Answer> answers;
    QStringList asked;
    QStringList told;

    Answer Ask(const std::string& caption, const std::string&, Buttons, Icon) override
    {
        asked << toQ(caption);
        return answers.isEmpty() ? Answer::No : answers.takeFirst();
    }
    void Tell(const std::string&, const std::string& text) override { told << toQ(text); }
};

// A program folder with the shipped country table, language files and flags.
inline std::string makeHome(QTemporaryDir& dir, const char* settings)
{
    const std::string home = dir.path().toStdString() + "/";
    std::filesystem::copy(QUILLANE_DATA_DIR "countries.dat", home + "countries.dat");
    std::filesystem::copy(QUILLANE_DATA_DIR "sprache", home + "sprache");
    std::filesystem::copy(QUILLANE_DATA_DIR "flags", home + "flags");
    if (settings != nullptr) {
        WriteTextFile(home + "quillane.ini", settings);
    }
    return home;
}

// A text of a shipped language file of that program folder.
inline QString lng(const std::string& home, const char* language, const char* section, const char* key)
{
    return toQ(IniFile(home + "sprache/" + language + ".lng").ReadString(section, key, "?"));
}

} // namespace quillane::gui::test
