// Languages the translator tests bring: English, French (CP1252 bytes) and
// Russian (CP1251 bytes), and a translator that is the main one for a test.
#pragma once

#include "translate/cmp_TTranslateControls.h"
#include "translate/cmp_TTranslator.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace translator_test {

using namespace cmp_TTranslator;
using namespace cmp_TTranslateControls;

inline const std::vector<std::string> EnglishLines = {
    "5;Next >",
    "6;Cancel",
    "7;&Back",
    "10;Copied %d files into %s",
    "11;Setup complete",
    "12;File %s of %d",
    "#40;",
    "Welcome to the setup.",
    "Press Next.",
    "#",
};
inline const std::vector<std::string> FrenchLines = {
    "5;Suivant >",
    "6;Annuler",
    "10;%s : %d fichiers copi\xe9s", // its arguments in the wrong order
    "11;Installation termin\xe9"
    "e",
    "12;Sur %1:d : fichier %0:s",
    "#40;",
    "Bienvenue dans l'installation.",
    "#",
};
// "Далее >" and "Отмена"; no id 6 entry for a missing-id case, so "Отмена" is 16.
inline const std::vector<std::string> RussianLines = {
    "5;\xc4\xe0\xeb\xe5\xe5 >",
    "16;\xce\xf2\xec\xe5\xed\xe0",
};

// A translator filled with the three languages, the process's main one while
// it lives; none may be left from another test.
class TranslatorTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(MainTranslator, nullptr);
        T.reset(new TTranslator(nullptr));
        T->Language(wlEnglish)->SetStrings(EnglishLines);
        T->Language(wlFrench)->SetStrings(FrenchLines);
        T->Language(wlRussian)->SetStrings(RussianLines);
        T->SetTranslateIntoLanguage(wlFrench);
    }
    void TearDown() override { T.reset(); }

    std::unique_ptr<TTranslator, fw_Classes::TComponentDeleter> T;
};

// The message of what F raises as E; "<nothing raised>" otherwise.
template <class E = fw_SysUtils::Exception, class F>
std::string MessageOf(F Work)
{
    try {
        Work();
    } catch (const E& Error) {
        return Error.Message();
    }
    return "<nothing raised>";
}

} // namespace translator_test
