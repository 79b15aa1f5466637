// Version resources of executable files, and the overwrite rules built on them.
#pragma once

#include "framework/fw_Classes.h"
#include "framework/fw_SysUtils.h"

#include <cstdint>
#include <string>

namespace cmp_TVersion {

enum TOverwriteType { owAlways, owNever, owVersion, owDate, owVersionDate };
extern const fw_Classes::TEnumInfo TOverwriteTypeInfo;

// The answer of the overwrite comparisons.
enum TCompareVersionResult { cvUnknown, cvSame, cvReplace, cvKeep };

enum TLanguage {
    lnArabic,
    lnBulgarian,
    lnCatalan,
    lnTraditionalChinese,
    lnCzech,
    lnDanish,
    lnGerman,
    lnGreek,
    lnUSEnglish,
    lnCastilianSpanish,
    lnFinnish,
    lnFrench,
    lnHebrew,
    lnHungarian,
    lnIcelandic,
    lnItalian,
    lnJapanese,
    lnKorean,
    lnDutch,
    lnNorwegianBokmal,
    lnPolish,
    lnBrazilianPortuguese,
    lnRhaetoRomanic,
    lnRomanian,
    lnRussian,
    lnCroatoSerbian,
    lnSlovak,
    lnAlbanian,
    lnSwedish,
    lnThai,
    lnTurkish,
    lnUrdu,
    lnBahasa,
    lnSimplifiedChinese,
    lnSwissGerman,
    lnUKEnglish,
    lnMexicanSpanish,
    lnBelgianFrench,
    lnSwissItalian,
    lnBelgianDutch,
    lnNorwegianNynorsk,
    lnPortuguese,
    lnSerboCroatian,
    lnCanadianFrench,
    lnSwissFrench
};

enum TCharacterSet {
    csASCII,
    csJapan,
    csKorea,
    csTaiwan,
    csUnicode,
    csLatin2,
    csCyrillic,
    csMultilingual,
    csGreek,
    csTurkish,
    csHebrew,
    csArabic
};

// The language identifier and code page of the VERSIONINFO tables.
uint16_t LanguageID(TLanguage Language);
uint16_t CodePage(TCharacterSet CharacterSet);

extern const fw_Classes::TEnumInfo LanguageInfo;
extern const fw_Classes::TEnumInfo CharacterSetInfo;

class TVersionInfo : public fw_Classes::TPersistent {
    FW_CLASS(TVersionInfo, fw_Classes::TPersistent)

public:
    void Clear();
    void Assign(fw_Classes::TPersistent* Source) override;

    std::string Comment;
    std::string CompanyName;
    std::string FileDescription;
    std::string FileVersion;
    std::string InternalName;
    std::string LegalCopyright;
    std::string LegalTradeMarks;
    std::string OriginalFileName;
    uint16_t PrimaryLanguage = 0;
    std::string PrivateBuild;
    std::string ProductName;
    std::string ProductVersion;
    std::string SpecialBuild;
    std::string FileOS;
    std::string FileType;
    std::string FileSubType;
};

class TVersionResource : public fw_Classes::TComponent {
    FW_CLASS(TVersionResource, fw_Classes::TComponent)

public:
    explicit TVersionResource(fw_Classes::TComponent* AOwner);

    bool FileNameStored() const { return FFileNameStored; }
    const std::string& FileName() const { return FFileName; }
    void SetFileName(const std::string& Value);
    TLanguage Language() const { return FLanguage; }
    void SetLanguage(TLanguage Value);
    TCharacterSet CharacterSet() const { return FCharacterSet; }
    void SetCharacterSet(TCharacterSet Value);
    TVersionInfo* VersionInfo() { return &FVersionInfo; }

    // Rereads the version resource of FileName; never raises.
    void Refresh();

    // 0 equal, 1 when A is newer, 2 when B is newer; a part that is not a
    // decimal number raises EConvertError.
    static int CompareVersion(const std::string& A, const std::string& B);
    static TCompareVersionResult IsFileNewer(const std::string& Version, const std::string& TargetPath,
                                             TOverwriteType Mode, fw_SysUtils::TDateTime Date);
    static TCompareVersionResult IsFileNewerByName(const std::string& SourcePath, const std::string& TargetPath,
                                                   TOverwriteType Mode);

private:
    bool FFileNameStored = false;
    std::string FFileName;
    TLanguage FLanguage = lnUSEnglish;
    TCharacterSet FCharacterSet = csMultilingual;
    TVersionInfo FVersionInfo;
};

// The process-wide reader that the comparisons and the archive use.
TVersionResource& VersionResource();

// The years the file system's packed (DOS) date form holds.
constexpr int FirstFileDateYear = 1980;
constexpr int LastFileDateYear = 2107;

// The last-write time of an open file as archives keep it: local time at the
// file system's 2-second grain, held inside the years of the packed form.
// False when the file's time cannot be read.
bool LastWriteDate(HANDLE File, fw_SysUtils::TDateTime& Date);

// Whether the version resource of FileName has the string entry Key in the
// table of its first translation ("OLESelfRegister" marks a server that
// registers itself); False for a file without a version resource.
bool HasVersionString(const std::string& FileName, const std::string& Key);

// The FileVersion of a file as the process-wide reader sees it ("" without
// a version resource).
std::string FileVersionOf(const std::string& FileName);

} // namespace cmp_TVersion
