#pragma once

#include "core/common/Files.h"
#include "core/common/IniFile.h"
#include "core/common/Prompter.h"
#include "gui/common/ObjectNames.h"
#include "gui/common/QtText.h"

#include <QList>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>
#include <string>

namespace quillane::gui::test {

// Answers the program's questions from a script and keeps what it was told.
// A question nobody expected fails the test and is answered with Cancel.
class ScriptedPrompter : public Prompter {
public:
    QList<Answer> answers;
    QStringList asked;
    QStringList questions; // the texts of the questions asked
    QStringList told;

    Answer Ask(const std::string& caption, const std::string& text, Buttons, Icon) override
    {
        asked << toQ(caption);
        questions << toQ(text);
        if (answers.isEmpty()) {
            const QString question =
                QStringLiteral("unexpected question: ") + toQ(caption) + QStringLiteral(" / ") + toQ(text);
            QTest::qFail(qPrintable(question), __FILE__, __LINE__);
            return Answer::Cancel;
        }
        return answers.takeFirst();
    }
    void Tell(const std::string&, const std::string& text) override { told << toQ(text); }
};

// The control of that object name under parent; a missing one ends the test program.
template <typename T> T* child(const QObject* parent, const char* name)
{
    T* c = parent->findChild<T*>(QString::fromUtf8(name));
    if (c == nullptr) {
        qFatal("no control %s", name);
    }
    return c;
}

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
